# The dataset benchmark compares with Qt's QMYSQL driver (Debian: qtbase5-dev,
# libqt5sql5-mysql); without Qt's SQL module it runs the other cases and says so.
find_package(Qt5 QUIET COMPONENTS Sql)
if(Qt5Sql_FOUND)
  target_sources(bench_dataset PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/dataset_peer_qt.cc)
  target_link_libraries(bench_dataset PRIVATE Qt5::Sql)
  target_compile_definitions(bench_dataset PRIVATE VELBENCH_QT=1)
  # Qt's headers require position-independent code.
  set_target_properties(bench_dataset PROPERTIES POSITION_INDEPENDENT_CODE ON)
else()
  message(STATUS "bench_dataset: Qt5 Sql not found, the Qt QMYSQL peer case is left out")
endif()
