# The options sheet and its five pages (Qt Widgets). Included from this folder's CMakeLists.txt.
add_library(tavo_options STATIC
    ${CMAKE_CURRENT_LIST_DIR}/COption.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COptionCommand.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COptionDirectory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COptionMain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COptionPage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COptionTTS.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COptionTelnet2.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COptionValues.cpp
)
target_include_directories(tavo_options PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/app)
target_link_libraries(tavo_options PUBLIC tavo_settings tavo_data tavo_platform tavo_listview
    tavo_speech tavo_telnet Qt6::Widgets)

# The full-row list of the directory pages and the main window's call list.
add_library(tavo_listview STATIC ${CMAKE_SOURCE_DIR}/app/CListViewEx.cpp)
target_include_directories(tavo_listview PUBLIC ${CMAKE_SOURCE_DIR}/app)
target_link_libraries(tavo_listview PUBLIC Qt6::Widgets)
