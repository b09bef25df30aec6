# cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x.y -DOUT=file.1.gz -P MakeManPage.cmake
# The manual page of a program, made from its own --help text at build time, so that the two
# never disagree. The help text is shown as it stands (no fill), in a German page.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${PROGRAM} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${rc})")
endif()
# troff: a backslash is written \e; a line starting with . or ' would be a request.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REPLACE "-" "\\-" name_escaped "${NAME}")
set(page ".TH ${NAME} 1 \"\" \"MOX ${VERSION}\" \"MOX-Stationssoftware\"
.SH BEZEICHNUNG
${name_escaped} \\- ${SUMMARY}
.SH BESCHREIBUNG
.nf
${help}.fi
.SH DATEIEN
.TP
.I ~/.config/mox/mox.ini
Einstellungen eines Benutzers (oder die Datei in \\fB$MOX_INI\\fR).
.TP
.I /etc/mox/mox.ini
Einstellungen des Stationsdienstes \\fBmox\\-station\\fR.
.SH SIEHE AUCH
Die Hilfeseiten unter /usr/share/mox/help/ und /usr/share/doc/mox\\-station/README.md.
")
get_filename_component(dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
string(REGEX REPLACE "\\.gz$" "" plain ${OUT})
file(WRITE ${plain} "${page}")
execute_process(COMMAND gzip -9nf ${plain} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip ${plain} failed")
endif()
