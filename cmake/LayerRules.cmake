# Which folder may include which: the one table behind the README's "Layers" section. A folder
# always uses itself; an entry with a file name allows that one header only, an entry naming a
# subfolder what is in it. Tests may use anything and are not listed.
set(ORVANE_LAYER_FOLDERS
  platform interfaces timesource timing buffers board settings config adjustments card module
  simboard tools videosource benchmarks plugins checker)
set(ORVANE_LAYER_USES_platform "")
set(ORVANE_LAYER_USES_interfaces platform)
set(ORVANE_LAYER_USES_timesource "")
set(ORVANE_LAYER_USES_timing platform interfaces timesource)
set(ORVANE_LAYER_USES_buffers platform interfaces timing)
set(ORVANE_LAYER_USES_board platform interfaces)
set(ORVANE_LAYER_USES_settings platform interfaces)
set(ORVANE_LAYER_USES_config platform interfaces board settings)
set(ORVANE_LAYER_USES_adjustments platform interfaces board settings config)
set(ORVANE_LAYER_USES_card platform interfaces timing buffers board settings config adjustments)
set(ORVANE_LAYER_USES_module platform interfaces timing buffers board settings config adjustments card)
set(ORVANE_LAYER_USES_simboard platform interfaces)
# The tools drive the module as a host does; the simulated board's control functions they look up
# at run time, so no simulator header is theirs to include.
set(ORVANE_LAYER_USES_tools platform interfaces)
# The video source is a host like the tools, and uses the host pieces of tools/common, nothing of
# the tools themselves.
set(ORVANE_LAYER_USES_videosource platform interfaces tools/common)
set(ORVANE_LAYER_USES_benchmarks platform interfaces tools videosource)
# Plug-ins are third-party code in all but location: the public plug-in header is all they get.
set(ORVANE_LAYER_USES_plugins timesource)
# The plug-in checker loads a plug-in with the module's own loader, so it answers as the module would.
set(ORVANE_LAYER_USES_checker platform interfaces timesource timing)
