# The front-end developer's kit: the host's driver stand-in, the commands
# that run under it or read its scans, the modules they import and a manual
# page per command.  It is a component of its own, left out of a plain
# `cmake --install` (which installs the tool, its page and the licence, what
# image builders package): `cmake --install DIR --component kit` installs it,
# and cpack packs it with the tool into one Debian package.
set(kit_commands blindscan-emulator blindscan-compare blindscan-channels)
set(kit_scripts ${PROJECT_SOURCE_DIR}/replay/replay-trace ${PROJECT_SOURCE_DIR}/after_scan/plot-scan)
set(kit_modules
    ${PROJECT_SOURCE_DIR}/replay/trace_reader.py
    ${PROJECT_SOURCE_DIR}/replay/strace_calls.py
    ${PROJECT_SOURCE_DIR}/kit/python/claim_dir.py
    ${PROJECT_SOURCE_DIR}/kit/python/kit_command.py)

# The build stages every command of the kit and the tool in one prefix laid
# out as the install lays it out, so that each runs from there exactly as
# installed (the Python commands find their modules beside bin/ as there):
# kit/bin/, kit/share/mivo_blindscan/python/ and kit/share/man/man1/.  The
# install takes the kit's files from here.
set(kit_stage ${PROJECT_BINARY_DIR}/kit)
set(kit_stage_bin ${kit_stage}/${CMAKE_INSTALL_BINDIR})
set(kit_stage_modules ${kit_stage}/${CMAKE_INSTALL_DATADIR}/mivo_blindscan/python)
set(kit_stage_man ${kit_stage}/${CMAKE_INSTALL_MANDIR}/man1)
set(kit_staged "")
function(stage_file source destination)
  add_custom_command(
    OUTPUT ${destination}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${destination}
    DEPENDS ${ARGN}
    COMMENT "Staging ${destination}"
    VERBATIM)
  set(kit_staged ${kit_staged} ${destination} PARENT_SCOPE)
endfunction()
foreach(command mivo_blindscan ${kit_commands})
  stage_file($<TARGET_FILE:${command}> ${kit_stage_bin}/${command} ${command})
endforeach()
set(kit_staged_scripts "")
foreach(script ${kit_scripts})
  get_filename_component(name ${script} NAME)
  stage_file(${script} ${kit_stage_bin}/${name} ${script})
  list(APPEND kit_staged_scripts ${kit_stage_bin}/${name})
endforeach()
set(kit_staged_modules "")
foreach(module ${kit_modules})
  get_filename_component(name ${module} NAME)
  stage_file(${module} ${kit_stage_modules}/${name} ${module})
  list(APPEND kit_staged_modules ${kit_stage_modules}/${name})
endforeach()
stage_file(${PROJECT_BINARY_DIR}/mivo_blindscan.1 ${kit_stage_man}/mivo_blindscan.1
           ${PROJECT_BINARY_DIR}/mivo_blindscan.1)

# The facts the Python modules share with the C++ code, read from its headers
# (the module reads them itself in the source tree) and staged as values.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(kit_facts_reader ${PROJECT_SOURCE_DIR}/kit/python/kit_facts.py)
set(kit_facts ${kit_stage_modules}/kit_facts.py)
# Which headers it was read from, kept out of the staged tree.
set(kit_facts_depfile ${PROJECT_BINARY_DIR}/kit_facts.d)
add_custom_command(
  OUTPUT ${kit_facts}
  COMMAND ${Python3_EXECUTABLE} -B ${kit_facts_reader} ${PROJECT_SOURCE_DIR} ${kit_facts} ${kit_facts_depfile}
  DEPENDS ${kit_facts_reader}
  DEPFILE ${kit_facts_depfile}
  COMMENT "Writing the facts the Python modules share with the C++ headers"
  VERBATIM)
list(APPEND kit_staged ${kit_facts})
list(APPEND kit_staged_modules ${kit_facts})
add_custom_target(kit_stage ALL DEPENDS ${kit_staged})

install(TARGETS ${kit_commands} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kit EXCLUDE_FROM_ALL)
install(PROGRAMS ${kit_staged_scripts} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kit EXCLUDE_FROM_ALL)
# The Python commands look for their modules here, relative to where they
# are installed.
install(FILES ${kit_staged_modules} DESTINATION ${CMAKE_INSTALL_DATADIR}/mivo_blindscan/python COMPONENT kit
        EXCLUDE_FROM_ALL)

# The commands' pages are made from their --help by help2man, run on the
# staged commands, so that they never say other than it; the sections a
# page adds to it (the stand-in's file formats, say) come from an include
# file beside the command's sources.
set(kit_pages "")
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(page_names
      "blindscan-emulator=stand in for the blind-scan driver, so that mivo_blindscan runs without a tuner"
      "blindscan-compare=check a scan's report lines against a satellite's published transponder list"
      "blindscan-channels=write the transponders in a scan's report lines as a DVBv5 channel file"
      "replay-trace=run a command under the driver stand-in answering as a box's driver did in an strace record"
      "plot-scan=draw the carriers in mivo_blindscan's report lines as a picture")
  set(page_include_blindscan-emulator ${PROJECT_SOURCE_DIR}/emulator/blindscan-emulator.h2m)
  foreach(entry ${page_names})
    string(REGEX REPLACE "=.*" "" command "${entry}")
    string(REGEX REPLACE "^[^=]*=" "" summary "${entry}")
    set(include "")
    set(depends ${kit_staged})
    if(DEFINED page_include_${command})
      set(include --include=${page_include_${command}})
      list(APPEND depends ${page_include_${command}})
    endif()
    set(page ${kit_stage_man}/${command}.1)
    add_custom_command(
      OUTPUT ${page}
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1 --version-string=${PROJECT_VERSION}
              "--name=${summary}" ${include} --output=${page} ${kit_stage_bin}/${command}
      DEPENDS ${depends}
      COMMENT "Writing the manual page of ${command} from its --help"
      VERBATIM)
    list(APPEND kit_pages ${page})
  endforeach()
  add_custom_target(kit_pages ALL DEPENDS ${kit_pages})
else()
  message(WARNING "help2man not found (Debian: apt-get install help2man): the kit installs no manual page")
endif()
install(FILES ${kit_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT kit EXCLUDE_FROM_ALL)

# One Debian package of the tool (with its page and licence) and the kit.
# Its library dependencies (libfuse3 among them) come from dpkg-shlibdeps; the rest is what the
# commands run or read: fusermount3, the Python commands, the published
# transponder lists for --satellite, and strace to record a box's scans.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mivo-blindscan)
set(CPACK_PACKAGE_CONTACT "mivo_blindscan developers <mivo-blindscan@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "blind-scan tool for DVB-S/S2 set-top devices, with its driver stand-in")
# Debian's description is read on an 80-column terminal: its lines are
# broken here.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "mivo_blindscan asks a demodulator driver's blind-scan device for the\n"
    "transponders in a range and prints one line per transponder.  With it:\n"
    "blindscan-emulator, a stand-in for the driver that runs the tool and the\n"
    "front ends that call it on any Linux machine; replay-trace, which replays\n"
    "a box's strace record; plot-scan, blindscan-compare and blindscan-channels,\n"
    "which draw, check and convert a scan's report.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The staged tree is the plain install's; this script gives it Debian's
# layout (documents under the package's name, its copyright file and
# changelog, compressed pages) before it is packed.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb/layout.cmake)
set(CPACK_BLINDSCAN_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_BLINDSCAN_UPSTREAM_NAME ${PROJECT_NAME})
set(CPACK_BLINDSCAN_RELEASE_DATE ${BLINDSCAN_RELEASE_DATE})
set(CPACK_BLINDSCAN_LINTIAN_OVERRIDES ${PROJECT_SOURCE_DIR}/cmake/deb/lintian-overrides)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified kit)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fuse3, python3, python3-matplotlib, dtv-scan-tables")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS strace)
include(CPack)
