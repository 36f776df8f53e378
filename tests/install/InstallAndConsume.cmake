# Run by CTest: cmake -D... -P InstallAndConsume.cmake (see CMakeLists.txt beside it).
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run("installing" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The libraries are the package's own, in a directory of their own.
set(private ${LIBDIR}/velk-system-alert)
set(expected
  bin/velk-host share/man/man1/velk-host.1.gz
  share/doc/velk-system-alert/copyright share/doc/velk-system-alert/changelog.gz
  ${private}/libVelkSystemAlert.so ${private}/libKQHost.so
  ${LIBDIR}/cmake/VelkSystemAlert/VelkSystemAlertConfig.cmake
  ${LIBDIR}/cmake/VelkSystemAlert/VelkSystemAlertConfigVersion.cmake
  include/VelkSystemAlert/CVelkAlert.h include/VelkSystemAlert/KQBkApi.h include/VelkSystemAlert/CQuoteStore.h
  share/velk-host/demo-day/trades.csv share/velk-host/demo-root/SYS/alert.cfg)
if(WITH_UI)
  list(APPEND expected ${private}/libKQDialog.so ${private}/libVelkPlatform.so
    share/applications/velk-host.desktop share/icons/hicolor/scalable/apps/velk-host.svg
    share/icons/hicolor/64x64/apps/velk-host.png)
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "the install tree lacks ${file}")
  endif()
endforeach()
# Nothing of the package's goes into the shared library directory, where ldconfig would list it.
file(GLOB shared ${prefix}/${LIBDIR}/*.so*)
if(shared)
  message(FATAL_ERROR "private libraries in the shared library directory: ${shared}")
endif()

run("configuring the consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" -DCMAKE_PREFIX_PATH=${prefix})
run("building the consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
file(MAKE_DIRECTORY ${WORK_DIR}/sys)
run("running the consumer" ${WORK_DIR}/consumer/velk-consumer ${WORK_DIR}/sys)
if(NOT RUN_OUTPUT STREQUAL "limit-up alert at 34200 for 600000\n")
  message(FATAL_ERROR "the consumer said:\n${RUN_OUTPUT}")
endif()

# The installed program, away from the build tree, on the installed demo day and conditions.
file(COPY ${prefix}/share/velk-host/demo-root/SYS DESTINATION ${WORK_DIR}/root)
run("replaying the installed demo day" ${prefix}/bin/velk-host --headless --silent --root ${WORK_DIR}/root
  --day ${prefix}/share/velk-host/demo-day)
if(NOT RUN_OUTPUT MATCHES "达到涨停价")
  message(FATAL_ERROR "the installed velk-host raised no limit-up alert:\n${RUN_OUTPUT}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
