# Install time: the agent's user unit, naming the agent under the prefix the tree is being installed to,
# made in its place so that installs to several prefixes at once do not share a file.
set(KESTRAVA_AGENT_EXECUTABLE ${CMAKE_INSTALL_PREFIX}/${KESTRAVA_AGENT_UNDER_PREFIX})
set(unit $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${KESTRAVA_UNIT_FOLDER_UNDER_PREFIX}/kestrava-agent.service)
message(STATUS "Installing: ${unit}")
configure_file(${KESTRAVA_UNIT_TEMPLATE} ${unit} @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES ${unit})
