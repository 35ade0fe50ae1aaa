# quarvel_add_game(TARGET SOURCES file... [ASSETS file...])
#
# A game against the installed runtime in one call:
#   - the executable TARGET, linked with Quarvel::quarvel, with the ASSETS
#     copied beside it after every build (the runtime makes the game's
#     directory the working directory, so it finds them there);
#   - single/TARGET in the build directory: the game with the assets packed
#     into it by quarvel-pack, one file that runs from anywhere (target
#     TARGET_single, built by default);
#   - install rules: the single file as bin/TARGET and a menu entry
#     share/applications/TARGET.desktop.
function(quarvel_add_game target)
  cmake_parse_arguments(ARG "" "" "SOURCES;ASSETS" ${ARGN})
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "quarvel_add_game(${target}): no SOURCES")
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE Quarvel::quarvel)

  set(assets "")
  foreach(asset ${ARG_ASSETS})
    get_filename_component(asset "${asset}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND assets "${asset}")
  endforeach()
  if(assets)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${assets} $<TARGET_FILE_DIR:${target}>
      COMMENT "Assets of ${target} beside it"
      VERBATIM)
  endif()

  # Copied, packed, then renamed into place, so an interrupted build never
  # leaves a half-packed game.
  set(single_dir "${CMAKE_CURRENT_BINARY_DIR}/single")
  set(single "${single_dir}/${target}")
  set(pack_step "")
  if(assets)
    set(pack_step COMMAND Quarvel::quarvel-pack append "${single}.part" ${assets})
  endif()
  add_custom_command(
    OUTPUT "${single}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${single_dir}"
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> "${single}.part"
    ${pack_step}
    COMMAND ${CMAKE_COMMAND} -E rename "${single}.part" "${single}"
    DEPENDS ${target} ${assets}
    COMMENT "Packing ${target} into one file"
    VERBATIM)
  add_custom_target(${target}_single ALL DEPENDS "${single}")

  include(GNUInstallDirs)
  install(PROGRAMS "${single}" DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The menu entry names the install prefix, known only when installing.
  install(CODE "
    set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/${target}.desktop\")
    file(WRITE \"\${entry}\" \"[Desktop Entry]\\nType=Application\\nName=${target}\\nExec=\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${target}\\nTerminal=false\\nCategories=Game;\\n\")
    message(STATUS \"Installing: \${entry}\")")
endfunction()
