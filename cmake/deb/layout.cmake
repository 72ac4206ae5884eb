# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on the staged install tree before
# the Debian package is made from it: the tree `cmake --install` writes for
# image builders becomes one laid out as Debian's policy asks, which the
# plain install's users do not want (compressed pages, a copyright file in
# its machine-readable form, a changelog).
#   - the documents go under the package's name: /usr/share/doc/PACKAGE;
#   - LICENSE becomes PACKAGE's copyright file, and a changelog.gz is made
#     for this version;
#   - every manual page is compressed, reproducibly (gzip -9n);
#   - the lintian overrides say which of lintian's findings are intended.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/ALL_COMPONENTS_IN_ONE${CPACK_PACKAGING_INSTALL_PREFIX})
set(package ${CPACK_PACKAGE_NAME})
set(docs ${root}/share/doc/${package})

file(RENAME ${root}/${CPACK_BLINDSCAN_DOCDIR} ${docs})

file(READ ${docs}/LICENSE licence)
file(REMOVE ${docs}/LICENSE)
if(NOT licence MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]*)\n\n(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE is not the MIT licence with one copyright line, as the copyright file is made from")
endif()
set(holder ${CMAKE_MATCH_1})
# A paragraph's lines start with a space, and its blank lines are " .".
string(REGEX REPLACE "\n\n" "\n.\n" text "${CMAKE_MATCH_2}")
string(REGEX REPLACE "\n" "\n " text " ${text}")
set(libc_comment "")
if(EXISTS ${docs}/LICENSE.libc)
  string(CONCAT libc_comment "Comment: usr/bin/mivo_blindscan is linked statically and holds code of its C\n"
                " library, whose licence notice is LICENSE.libc beside this file.\n")
endif()
file(WRITE ${docs}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: ${CPACK_BLINDSCAN_UPSTREAM_NAME}\n\n"
     "Files: *\nCopyright: ${holder}\nLicense: MIT\n${libc_comment}\n"
     "License: MIT\n${text}\n")

# The changelog of a native package, dated as the manual pages are.
execute_process(COMMAND date -u -R -d "1 ${CPACK_BLINDSCAN_RELEASE_DATE}" OUTPUT_VARIABLE date
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${docs}/changelog
     "${package} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
     "  * Version ${CPACK_PACKAGE_VERSION}.\n\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")

file(GLOB pages ${root}/share/man/man*/*)
execute_process(COMMAND gzip -9n ${docs}/changelog ${pages} COMMAND_ERROR_IS_FATAL ANY)

file(MAKE_DIRECTORY ${root}/share/lintian/overrides)
file(COPY_FILE ${CPACK_BLINDSCAN_LINTIAN_OVERRIDES} ${root}/share/lintian/overrides/${package})
