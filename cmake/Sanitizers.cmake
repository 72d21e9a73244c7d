# One sanitizer for the whole build, so that every library and test shares the same runtime.
if(VX_SANITIZE)
  if(NOT VX_SANITIZE MATCHES "^(address|thread|undefined)$")
    message(FATAL_ERROR "VX_SANITIZE must be address, thread or undefined, not '${VX_SANITIZE}'")
  endif()
  set(_vx_san_flags -fsanitize=${VX_SANITIZE} -fno-omit-frame-pointer)
  if(VX_SANITIZE STREQUAL "undefined")
    list(APPEND _vx_san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_vx_san_flags})
  add_link_options(${_vx_san_flags})
endif()

# libFuzzer is guided by coverage: the libraries under test need its instrumentation too,
# not only the fuzz targets that link the fuzzer's main.
if(VX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
