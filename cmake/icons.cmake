# The program's icon is one SVG, desktop/se.tolvana.Tolvana.svg; the sizes a
# desktop or Windows needs are drawn from it at build time with rsvg-convert
# (Debian's librsvg2-bin).
set(TOLVANA_ICON_SVG ${PROJECT_SOURCE_DIR}/desktop/se.tolvana.Tolvana.svg)
find_program(RSVG_CONVERT rsvg-convert)

# tolvana_draw_icon(SIZE PNG): a rule that draws the icon as a SIZE x SIZE PNG.
function(tolvana_draw_icon size png)
  get_filename_component(dir ${png} DIRECTORY)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${TOLVANA_ICON_SVG}
    DEPENDS ${TOLVANA_ICON_SVG}
    COMMENT "Drawing the ${size}x${size} icon")
endfunction()
