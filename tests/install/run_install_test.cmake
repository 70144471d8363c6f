# Installs the build into a fresh prefix, then builds and runs the consumer
# twice: through find_package(dsm CONFIG) and through pkg-config. Run by
# ctest with -DBUILD_DIR= -DWORK_DIR= -DSOURCE_DIR= -DGENERATOR= -DC_COMPILER=
# -DSANITIZE_FLAGS=.
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " line "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${line}\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(file include/dsm.h include/dsm_version.h bin/dsmtool bin/dsmservice)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB_RECURSE pc_files ${prefix}/libdsm.pc)
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1)
  message(FATAL_ERROR "expected one libdsm.pc below ${prefix}, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
get_filename_component(lib_dir ${pc_dir} DIRECTORY)
foreach(lib libdsm.so libdsm.so.0 libdsmhost.so.1)
  if(NOT EXISTS ${lib_dir}/${lib})
    message(FATAL_ERROR "not installed: ${lib_dir}/${lib}")
  endif()
endforeach()

# The installed tool finds its library without help.
run(${prefix}/bin/dsmtool servertype name 2)
if(NOT RUN_OUTPUT STREQUAL "NearStore\n")
  message(FATAL_ERROR "installed dsmtool answered '${RUN_OUTPUT}'")
endif()

# find_package consumer.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/cmake-consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_C_FLAGS=${SANITIZE_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-consumer)
run(${WORK_DIR}/cmake-consumer/consumer)
if(NOT RUN_OUTPUT STREQUAL "consumer: ok\n")
  message(FATAL_ERROR "find_package consumer said '${RUN_OUTPUT}'")
endif()

# pkg-config consumer: its flags name the library and nothing it depends on.
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs libdsm)
string(STRIP "${RUN_OUTPUT}" pc_flags)
if(NOT pc_flags MATCHES "-ldsm$" OR pc_flags MATCHES "omni|ACE")
  message(FATAL_ERROR "pkg-config flags: ${pc_flags}")
endif()
separate_arguments(pc_args UNIX_COMMAND "${pc_flags}")
separate_arguments(san_args UNIX_COMMAND "${SANITIZE_FLAGS}")
# Found at run time from a non-standard prefix through the run path the
# README gives, taken from pkg-config itself.
run(pkg-config --variable=libdir libdsm)
string(STRIP "${RUN_OUTPUT}" pc_libdir)
run(${C_COMPILER} ${san_args} ${SOURCE_DIR}/consumer/consumer.c -o ${WORK_DIR}/pc-consumer ${pc_args}
    -Wl,-rpath,${pc_libdir})
run(${WORK_DIR}/pc-consumer)
if(NOT RUN_OUTPUT STREQUAL "consumer: ok\n")
  message(FATAL_ERROR "pkg-config consumer said '${RUN_OUTPUT}'")
endif()
message(STATUS "installed, and both consumers built and ran")
