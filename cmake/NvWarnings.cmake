# Warnings are errors in every flavour. return-type is named on its own: falling
# off the end of a non-void function at -O2 turned into an endless loop once.
set(NV_WARNING_FLAGS -Wall -Wextra -Werror -Werror=return-type -Wno-missing-field-initializers)
# GCC 12 reports impossible overlaps in inlined std::string concatenation at -O3
# (GCC bug 105329); the warning is noise there, so it is off for GCC 12 only.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND NV_WARNING_FLAGS -Wno-restrict)
endif()

if(WIN32)
  # Unicode Win32 API, no min/max macros, Windows 10 API surface.
  set(NV_PLATFORM_DEFINES UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
      _WIN32_WINNT=0x0A00 WINVER=0x0A00 NTDDI_VERSION=0x0A000006)
  # One self-contained executable: no MinGW runtime DLLs next to it.
  set(NV_PLATFORM_LINK_FLAGS -static -static-libgcc -static-libstdc++)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # The shipped 32-bit launcher stays within 2 GiB on purpose: every parser
    # of outside text is bounded to a small multiple of its input and running
    # out of memory is a result, so more address space would only hide a
    # regression; and addresses above 2 GiB would be a configuration no test
    # runs, in a process that also hosts shell extensions (the folder picker).
    list(APPEND NV_PLATFORM_LINK_FLAGS -Wl,--disable-large-address-aware)
  endif()
else()
  set(NV_PLATFORM_DEFINES)
  set(NV_PLATFORM_LINK_FLAGS)
endif()

if(NV_SANITIZE)
  set(NV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
else()
  set(NV_SANITIZER_FLAGS)
endif()

function(nv_apply_flags target)
  target_compile_options(${target} PRIVATE ${NV_WARNING_FLAGS} ${NV_SANITIZER_FLAGS})
  target_compile_definitions(${target} PRIVATE ${NV_PLATFORM_DEFINES})
  target_link_options(${target} PRIVATE ${NV_PLATFORM_LINK_FLAGS} ${NV_SANITIZER_FLAGS})
endfunction()
