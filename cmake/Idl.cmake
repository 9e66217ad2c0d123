# Compiles an IDL file into a header, an identifier source and (with TLB) a type library: with
# widl in the cross build, whose platform IDL files (unknwn.idl, oaidl.idl, ocidl.idl) come from
# Wine's headers, and with MIDL from the Windows SDK under MSVC.
if(NOT MSVC)
  find_path(ORVANE_PLATFORM_IDL_DIR oaidl.idl
    PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
endif()

function(orvane_idl out_var idl_file)
  cmake_parse_arguments(ARG "TLB" "" "" ${ARGN})
  get_filename_component(name ${idl_file} NAME_WE)
  get_filename_component(src ${idl_file} ABSOLUTE)
  get_filename_component(src_dir ${src} DIRECTORY)
  set(gen ${CMAKE_BINARY_DIR}/generated)
  file(MAKE_DIRECTORY ${gen})
  set(outputs ${gen}/${name}.h ${gen}/${name}_i.c)
  if(MSVC)
    set(tlb_arg)
    if(ARG_TLB)
      list(APPEND outputs ${gen}/${name}.tlb)
      set(tlb_arg /tlb ${gen}/${name}.tlb)
    endif()
    add_custom_command(
      OUTPUT ${outputs}
      COMMAND midl /nologo /I ${src_dir} /h ${gen}/${name}.h /iid ${gen}/${name}_i.c
              ${tlb_arg} /out ${gen} ${src}
      DEPENDS ${src}
      WORKING_DIRECTORY ${gen}
      VERBATIM)
    set(${out_var} ${outputs} PARENT_SCOPE)
    return()
  endif()
  set(widl ${ORVANE_WIDL} -I ${ORVANE_PLATFORM_IDL_DIR} -I ${src_dir} -I ${gen})
  set(commands
    COMMAND ${widl} -h -o ${gen}/${name}.h ${src}
    COMMAND ${widl} -u -o ${gen}/${name}_i.c ${src})
  if(ARG_TLB)
    list(APPEND outputs ${gen}/${name}.tlb)
    list(APPEND commands COMMAND ${widl} -t -L ${ORVANE_WINE_LIBDIR} -o ${gen}/${name}.tlb ${src})
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    ${commands}
    DEPENDS ${src}
    WORKING_DIRECTORY ${gen}
    COMMENT "widl ${name}.idl"
    VERBATIM)
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()
