"""Where Debian's dtv-scan-tables keeps one published transponder list per
satellite, as the scripts and the tests name it."""

DIRECTORY = "/usr/share/dvb/dvb-s"
