# Qwt 6.1 for Qt 5 ships no CMake package on Debian: find its headers and library.
find_path(QWT_INCLUDE_DIR qwt_plot.h PATHS /usr/include/qwt /usr/include/qwt-qt5 REQUIRED)
find_library(QWT_LIBRARY NAMES qwt-qt5 REQUIRED)
add_library(Qwt::Qwt UNKNOWN IMPORTED)
set_target_properties(Qwt::Qwt PROPERTIES
    IMPORTED_LOCATION ${QWT_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${QWT_INCLUDE_DIR}
    INTERFACE_COMPILE_DEFINITIONS QWT_DLL)
