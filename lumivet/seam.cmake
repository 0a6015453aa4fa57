# Lumivet-seam: Lumivet with the allocation seam exported, for the sweep in
# tests/lumivet. Lumivet.dll itself exports edgame alone.
add_library(Lumivet-seam SHARED run_directory.cpp)
set_target_properties(Lumivet-seam PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)
zelk_target(Lumivet-seam)
zelk_add_common(Lumivet-seam NO_CXX_RUNTIME)  # as Lumivet is built
zelk_add_seam(Lumivet-seam)
zelk_platform_sources(Lumivet-seam entry)
if(WIN32)
  target_sources(Lumivet-seam PRIVATE ${def})
  target_link_options(Lumivet-seam PRIVATE -Wl,--disable-stdcall-fixup)
endif()
