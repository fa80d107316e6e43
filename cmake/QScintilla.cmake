# QScintilla for Qt 6 ships no CMake package on Debian. Its header lies among Qt's own headers
# and its library beside Qt's libraries, so it is looked for where this Qt keeps them; the
# standard search adds the multiarch folders (CMAKE_LIBRARY_ARCHITECTURE) itself.
get_target_property(_qt_core_includes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(_qt_core_library Qt6::Core LOCATION)
get_filename_component(_qt_library_dir "${_qt_core_library}" DIRECTORY)

find_path(QSCINTILLA_INCLUDE_DIR Qsci/qsciscintilla.h
    HINTS ${_qt_core_includes}
    PATH_SUFFIXES qt6)
find_library(QSCINTILLA_LIBRARY NAMES qscintilla2_qt6
    HINTS ${_qt_library_dir})
if(NOT QSCINTILLA_INCLUDE_DIR OR NOT QSCINTILLA_LIBRARY)
    message(FATAL_ERROR "QScintilla for Qt 6 not found: install libqscintilla2-qt6-dev (scripts/install-deps does)")
endif()

add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
set_target_properties(QScintilla::QScintilla PROPERTIES
    IMPORTED_LOCATION "${QSCINTILLA_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${QSCINTILLA_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES Qt6::Widgets)
