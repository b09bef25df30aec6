# Install layout (GNUInstallDirs). The libraries are private to the suite and live in a folder
# of their own; programs reach them and the help pages through paths relative to themselves,
# so an install works under any prefix (the package installs under /usr) without
# LD_LIBRARY_PATH. The windows and the headless station, which MOX_View and MOX_Convert start
# by exec, are no commands of their own: they live in the suite's libexec folder. The build
# tree mirrors the layout: build/bin, build/libexec/mox, build/share/mox/help.
include(GNUInstallDirs)
set(MOX_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/mox)
set(MOX_INSTALL_LIBEXECDIR ${CMAKE_INSTALL_LIBEXECDIR}/mox)
set(MOX_INSTALL_HELPDIR ${CMAKE_INSTALL_DATADIR}/mox/help)
set(full_libexec ${CMAKE_INSTALL_PREFIX}/${MOX_INSTALL_LIBEXECDIR})
file(RELATIVE_PATH MOX_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${MOX_INSTALL_LIBDIR})
file(RELATIVE_PATH MOX_BIN_TO_HELP ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${MOX_INSTALL_HELPDIR})
file(RELATIVE_PATH MOX_BIN_TO_LIBEXEC ${CMAKE_INSTALL_FULL_BINDIR} ${full_libexec})
file(RELATIVE_PATH MOX_LIBEXEC_TO_LIB ${full_libexec} ${CMAKE_INSTALL_PREFIX}/${MOX_INSTALL_LIBDIR})
file(RELATIVE_PATH MOX_LIBEXEC_TO_HELP ${full_libexec} ${CMAKE_INSTALL_PREFIX}/${MOX_INSTALL_HELPDIR})
set(CMAKE_INSTALL_RPATH "$ORIGIN/${MOX_BIN_TO_LIB}")
cmake_path(ABSOLUTE_PATH MOX_BIN_TO_HELP BASE_DIRECTORY ${CMAKE_BINARY_DIR}/bin NORMALIZE
           OUTPUT_VARIABLE MOX_BUILD_HELPDIR)
cmake_path(ABSOLUTE_PATH MOX_BIN_TO_LIBEXEC BASE_DIRECTORY ${CMAKE_BINARY_DIR}/bin NORMALIZE
           OUTPUT_VARIABLE MOX_BUILD_LIBEXECDIR)

# mox_program(target [NO_INSTALL]): one of the suite's programs. All of them answer --help and
# --version alike, and the command-line test runs every one registered here.
function(mox_program target)
  cmake_parse_arguments(P "NO_INSTALL" "" "" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY MOX_PROGRAMS ${target})
  if(NOT P_NO_INSTALL)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endfunction()

# mox_internal_program(target): a program that only the suite's programs start, by exec with
# their own arguments: built and installed into the libexec folder.
function(mox_internal_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MOX_BUILD_LIBEXECDIR}
                                             INSTALL_RPATH "$ORIGIN/${MOX_LIBEXEC_TO_LIB}")
  install(TARGETS ${target} RUNTIME DESTINATION ${MOX_INSTALL_LIBEXECDIR})
endfunction()

# mox_lean_program(target): a program that loads only the libraries its code calls; what the
# static libraries pass on for their other users (Qt, libmosquitto, libsystemd) stays out.
function(mox_lean_program target)
  target_link_options(${target} PRIVATE LINKER:--as-needed)
endfunction()

# A shared library of the suite: installed beside its siblings, which it finds through $ORIGIN.
function(mox_install_library target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${target} LIBRARY DESTINATION ${MOX_INSTALL_LIBDIR})
endfunction()
