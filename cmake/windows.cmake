# The 32-bit Windows build: the library trio under its Windows names, with Quarnel.dll's export
# table, version block and manifest.
set_target_properties(quarnel PROPERTIES OUTPUT_NAME Quarnel PREFIX "")
set_target_properties(ihxf PROPERTIES OUTPUT_NAME IHXF PREFIX "")
set_target_properties(kor PROPERTIES OUTPUT_NAME Kor PREFIX "")
# Each DLL carries its C++ runtime, so the trio needs nothing beyond the system's own DLLs.
set(QUARNEL_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
foreach(dll quarnel ihxf kor)
  target_link_options(${dll} PRIVATE ${QUARNEL_STATIC_RUNTIME})
endforeach()

set(QUARNEL_FRAME_DIR ${PROJECT_SOURCE_DIR}/jobs/frame)
target_sources(quarnel PRIVATE ${QUARNEL_FRAME_DIR}/quarnel.def ${QUARNEL_FRAME_DIR}/quarnel.rc)
# windres looks for the manifest named in the script along its include path.
set_source_files_properties(${QUARNEL_FRAME_DIR}/quarnel.rc PROPERTIES
  COMPILE_OPTIONS "-I${QUARNEL_FRAME_DIR}" OBJECT_DEPENDS ${QUARNEL_FRAME_DIR}/quarnel.manifest)
