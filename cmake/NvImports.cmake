# Which system DLLs the launcher may name in its import table, in one place.
#
# The launcher runs elevated from folders others can write (the game folder,
# Downloads on a first run). Windows looks for a statically imported DLL in
# the executable's folder first unless it is a KnownDLL, which always comes
# from the system (Microsoft's "Dynamic-link library search order" page; the
# names below appear under HKLM\System\CurrentControlSet\Control\Session
# Manager\KnownDLLs on every supported Windows). Every other system DLL is
# delay-loaded: its first call loads it through the default search, which the
# entry point restricts to System32 before anything else.
set(NV_KNOWN_DLLS
  kernel32 user32 gdi32 advapi32 shell32 shlwapi ole32 oleaut32 comdlg32 msvcrt ws2_32)
set(NV_DELAY_LOADED_DLLS winhttp bcrypt crypt32 wintrust version dwmapi)

# Makes lib<name>_delay.a for each delay-loaded DLL from the toolchain's own
# import library: the export list is read from it with nm, and dlltool writes
# a delay-import library from that list.
function(nv_make_delay_import_libraries)
  if(NOT WIN32)
    return()
  endif()
  get_filename_component(compiler_name ${CMAKE_CXX_COMPILER} NAME)
  string(REGEX REPLACE "g\\+\\+.*$" "" tool_prefix ${compiler_name})
  find_program(NV_DLLTOOL ${tool_prefix}dlltool REQUIRED)
  find_program(NV_NM ${tool_prefix}nm REQUIRED)
  find_program(NV_OBJDUMP ${tool_prefix}objdump REQUIRED)
  set(out_dir ${CMAKE_BINARY_DIR}/delay-imports)
  file(MAKE_DIRECTORY ${out_dir})
  foreach(dll ${NV_DELAY_LOADED_DLLS})
    find_library(import_lib_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
    execute_process(COMMAND ${NV_NM} -g --defined-only ${import_lib_${dll}}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # " T _Name@8" on x86 (the decoration stays in the symbol, -k drops it
    # from the imported name), " T Name" on x86_64.
    string(REGEX MATCHALL "[^\n]* T [^\n]*" lines "${symbols}")
    set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
    foreach(line ${lines})
      string(REGEX REPLACE "^.* T " "" symbol "${line}")
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" symbol "${symbol}")
      endif()
      string(APPEND def "${symbol}\n")
    endforeach()
    file(WRITE ${out_dir}/${dll}.def "${def}")
    execute_process(COMMAND ${NV_DLLTOOL} -k --def ${out_dir}/${dll}.def --dllname ${dll}.dll
                            --output-delaylib ${out_dir}/lib${dll}_delay.a
                    # dlltool's temporary objects land in its working folder.
                    WORKING_DIRECTORY ${out_dir}
                    COMMAND_ERROR_IS_FATAL ANY)
    add_library(nv_delay_${dll} STATIC IMPORTED GLOBAL)
    set_target_properties(nv_delay_${dll} PROPERTIES IMPORTED_LOCATION ${out_dir}/lib${dll}_delay.a)
  endforeach()
endfunction()

# The system libraries a target links: delay-loaded ones through their
# delay-import library.
function(nv_system_libraries out)
  set(libs)
  foreach(lib ${ARGN})
    if(lib IN_LIST NV_DELAY_LOADED_DLLS)
      list(APPEND libs nv_delay_${lib})
    else()
      list(APPEND libs ${lib})
    endif()
  endforeach()
  set(${out} ${libs} PARENT_SCOPE)
endfunction()

# Fails the build when the executable imports (statically or delayed) any
# DLL outside the two lists, or a delay-loaded one statically.
function(nv_check_imports target)
  if(NOT WIN32)
    return()
  endif()
  string(REPLACE ";" "," known "${NV_KNOWN_DLLS}")
  string(REPLACE ";" "," delayed "${NV_DELAY_LOADED_DLLS}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/check-imports --objdump ${NV_OBJDUMP} --nm ${NV_NM}
            --known ${known} --delayed ${delayed} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
