# The floor of the window's start must paint what the window paints first, pixel for pixel:
#   cmake -DWINDOW=<start-window> -DFLOOR=<start-bare-controls> -DOUT=<folder> -P same_paint.cmake
foreach(program WINDOW FLOOR)
    set(png "${OUT}/first-paint-${program}.png")
    file(REMOVE "${png}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                            RVX_FIRST_PAINT_TO=${png} ${${program}}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT EXISTS "${png}")
        message(FATAL_ERROR "${${program}} ended with ${status} and saved no first paint")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                        "${OUT}/first-paint-WINDOW.png" "${OUT}/first-paint-FLOOR.png"
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
    message(FATAL_ERROR "the floor's first paint differs from the window's: compare "
                        "${OUT}/first-paint-WINDOW.png and ${OUT}/first-paint-FLOOR.png")
endif()
