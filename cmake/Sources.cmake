# The one place that decides which platform backends are built.
#
# The portable core is every .cpp under src/base, src/config, src/probes, src/runs,
# plus the non-suffixed files of src/ui, src/dialogs and src/controls (the
# forms and the arithmetic of the window pieces). A file named *_posix.cpp or
# *_win32.cpp is a backend of the interface beside it; only the backend of this
# platform joins. The Windows program adds src/app and the *_win32.cpp files of
# src/ui (the dialog layer), src/dialogs and src/controls.
if(WIN32)
  set(REACHKIT_BACKEND win32)
else()
  set(REACHKIT_BACKEND posix)
endif()

set(_src ${CMAKE_CURRENT_SOURCE_DIR}/src)
file(GLOB REACHKIT_CORE_SOURCES CONFIGURE_DEPENDS
  ${_src}/base/*.cpp ${_src}/config/*.cpp ${_src}/probes/*.cpp ${_src}/runs/*.cpp
  ${_src}/ui/*.cpp ${_src}/dialogs/*.cpp ${_src}/controls/*.cpp)
list(FILTER REACHKIT_CORE_SOURCES EXCLUDE REGEX "_(posix|win32)\\.cpp$")
file(GLOB REACHKIT_CORE_BACKENDS CONFIGURE_DEPENDS
  ${_src}/base/*_${REACHKIT_BACKEND}.cpp
  ${_src}/config/*_${REACHKIT_BACKEND}.cpp
  ${_src}/probes/*_${REACHKIT_BACKEND}.cpp
  ${_src}/runs/*_${REACHKIT_BACKEND}.cpp)
list(APPEND REACHKIT_CORE_SOURCES ${REACHKIT_CORE_BACKENDS})

file(GLOB REACHKIT_GUI_SOURCES CONFIGURE_DEPENDS
  ${_src}/app/*.cpp ${_src}/ui/*_win32.cpp ${_src}/dialogs/*_win32.cpp
  ${_src}/controls/*_win32.cpp)

if(WIN32)
  set(REACHKIT_PLATFORM_LIBS ws2_32 iphlpapi)
else()
  set(REACHKIT_PLATFORM_LIBS)
endif()
