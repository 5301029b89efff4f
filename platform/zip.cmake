# CPack's External generator runs this script once the install tree is
# staged in CPACK_TEMPORARY_DIRECTORY: zip.py zips it. CPack's own ZIP
# generator stores SOURCE_DATE_EPOCH as the builder's local time, folder
# modes from the builder's umask and the builder's user and group ids, so
# two builds of the same sources would differ.
find_program(PYTHON3 python3 REQUIRED)
set(zip ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
set(root)
if(CPACK_INCLUDE_TOPLEVEL_DIRECTORY)
  set(root --root ${CPACK_PACKAGE_FILE_NAME})
endif()
execute_process(
  COMMAND ${PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/zip.py ${CPACK_TEMPORARY_DIRECTORY} ${zip} ${root}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "zip.py could not write ${zip}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${zip})
