# find_package(Kelvox) for hosts of the camera SDK: the imported target Kelvox::kelvox carries the
# header path and the library (the DLL with its import library on Windows, the shared library on
# Linux). Relocatable: everything is found from this file's place in the SDK folder.
get_filename_component(_kelvox_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET Kelvox::kelvox)
    add_library(Kelvox::kelvox SHARED IMPORTED)
    set_target_properties(Kelvox::kelvox PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_kelvox_root}/include")
    if(WIN32)
        if(MSVC)
            set(_kelvox_implib "${_kelvox_root}/lib/ZorezoRer_Av40_IVA3_V5.lib")
        else()
            set(_kelvox_implib "${_kelvox_root}/lib/libZorezoRer_Av40_IVA3_V5.dll.a")
        endif()
        set_target_properties(Kelvox::kelvox PROPERTIES
            IMPORTED_LOCATION "${_kelvox_root}/bin/ZorezoRer_Av40_IVA3_V5.dll"
            IMPORTED_IMPLIB "${_kelvox_implib}")
        set(_kelvox_files "${_kelvox_root}/bin/ZorezoRer_Av40_IVA3_V5.dll" "${_kelvox_implib}")
    else()
        set_target_properties(Kelvox::kelvox PROPERTIES
            IMPORTED_LOCATION "${_kelvox_root}/lib/libZorezoRer_Av40_IVA3_V5.so"
            IMPORTED_SONAME "libZorezoRer_Av40_IVA3_V5.so")
        set(_kelvox_files "${_kelvox_root}/lib/libZorezoRer_Av40_IVA3_V5.so")
    endif()
    foreach(_kelvox_file IN LISTS _kelvox_files)
        if(NOT EXISTS "${_kelvox_file}")
            set(Kelvox_FOUND FALSE)
            set(Kelvox_NOT_FOUND_MESSAGE "this SDK folder has no ${_kelvox_file}")
        endif()
    endforeach()
endif()
unset(_kelvox_root)
unset(_kelvox_implib)
unset(_kelvox_files)
unset(_kelvox_file)
