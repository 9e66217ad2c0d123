#pragma once
// Short names of the video subtypes the Orvane source offers ("RGB32", "Y800", "YUY2" ...), for
// the command line and the report.
#include <dshow.h>

#include <optional>
#include <string>

namespace orvane::dshowcheck {

// The name of a subtype; its GUID as text for one without a name.
std::string SubtypeName(const GUID& subtype);
// The subtype a name stands for (case ignored); nullopt for an unknown name.
std::optional<GUID> SubtypeByName(const std::string& name);
// Every name, comma-separated.
std::string SubtypeNameList();

}  // namespace orvane::dshowcheck
