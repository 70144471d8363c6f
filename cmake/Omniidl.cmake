# omniidl_generate(<sources-var> <include-dir-var> idl...)
# Generates C++ stubs, skeletons and Any/TypeCode support (with AMI forms)
# into a per-directory build folder.
function(omniidl_generate out_var dir_var)
  set(gen_dir ${CMAKE_CURRENT_BINARY_DIR}/idlgen)
  file(MAKE_DIRECTORY ${gen_dir})
  set(srcs)
  foreach(idl IN LISTS ARGN)
    get_filename_component(abs ${idl} ABSOLUTE)
    get_filename_component(base ${idl} NAME_WE)
    get_filename_component(idl_dir ${abs} DIRECTORY)
    set(outs ${gen_dir}/${base}.hh ${gen_dir}/${base}SK.cc ${gen_dir}/${base}DynSK.cc)
    add_custom_command(OUTPUT ${outs}
      COMMAND ${OMNIIDL} -bcxx -Wba -Wbami -Wbh=.hh -Wbs=SK.cc -Wbd=DynSK.cc
              -I${PROJECT_SOURCE_DIR}/idl -I${idl_dir} -C${gen_dir} ${abs}
      MAIN_DEPENDENCY ${abs}
      DEPENDS ${PROJECT_SOURCE_DIR}/idl/Framework.idl ${PROJECT_SOURCE_DIR}/idl/DiskService.idl
      COMMENT "omniidl ${base}.idl"
      VERBATIM)
    list(APPEND srcs ${outs})
  endforeach()
  set(${out_var} ${srcs} PARENT_SCOPE)
  set(${dir_var} ${gen_dir} PARENT_SCOPE)
endfunction()
