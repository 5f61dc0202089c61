# SPECKWRIGHT_SANITIZE=address,undefined builds everything with ASan and UBSan;
# =thread builds with TSan and registers only the tests that run threads.
if(SPECKWRIGHT_SANITIZE)
  set(_san_flags -fsanitize=${SPECKWRIGHT_SANITIZE} -fno-omit-frame-pointer -g)
  if(SPECKWRIGHT_SANITIZE MATCHES "undefined")
    # Any UBSan report aborts the test instead of printing and going on.
    list(APPEND _san_flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_san_flags})
  add_link_options(-fsanitize=${SPECKWRIGHT_SANITIZE})
endif()
