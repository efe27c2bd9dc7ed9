# cmake -DPAGE=<rvx-strings.1> -P man-page-sections.cmake
# help2man makes every "Title:" paragraph of --help a subsection of OPTIONS. The exit statuses
# are a section of their own in a manual page, right after OPTIONS: their subsection, the last
# of --help, is made that section.
file(READ "${PAGE}" page)
set(subsection ".SS \"Exit status:\"\n")
string(FIND "${page}" "${subsection}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${PAGE}: no subsection \"Exit status:\" to make the EXIT STATUS section")
endif()
string(REPLACE "${subsection}" ".SH \"EXIT STATUS\"\n" page "${page}")
file(WRITE "${PAGE}" "${page}")
