# Updates from the server: the HTTPS client, the two update threads, unpacking
# and the hand-over to the updater; the program update dialog on top.
find_package(CURL REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)

add_library(quenor_webupdate STATIC
  httpclient.cpp proxyprompt.cpp unpack.cpp updater.cpp webupdate.cpp)
target_include_directories(quenor_webupdate PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_features(quenor_webupdate PUBLIC cxx_std_20)
target_link_libraries(quenor_webupdate PUBLIC quenor_platform PRIVATE CURL::libcurl PkgConfig::LIBZIP)

add_library(quenor_webupdate_ui STATIC
  ui/frmquenorupdate.cpp ui/proxylogin.cpp)
target_include_directories(quenor_webupdate_ui PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_features(quenor_webupdate_ui PUBLIC cxx_std_20)
target_link_libraries(quenor_webupdate_ui PUBLIC quenor_webupdate quenor_app Qt6::Widgets)
