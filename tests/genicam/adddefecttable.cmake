# Writes OUTPUT: the fake camera's own description, as the installed Aravis
# library carries it, with the defect table of NODES added to its features.
execute_process(
  COMMAND ${GRESOURCE} extract ${ARAVIS_LIBRARY} /org/aravis/arv-fake-camera.xml
  OUTPUT_VARIABLE description
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "The fake camera's description is not in ${ARAVIS_LIBRARY}")
endif()
file(READ ${NODES} nodes)
string(REGEX REPLACE "(<Category Name=\"Root\"[^>]*>)" "\\1\n\t\t<pFeature>DefectPixelControl</pFeature>"
  description "${description}")
string(REPLACE "</RegisterDescription>" "${nodes}</RegisterDescription>" description
  "${description}")
file(WRITE ${OUTPUT} "${description}")
