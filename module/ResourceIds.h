#pragma once
// Resource identifiers of the module file; the registry script and the type library are found by them.
#define IDS_PROJNAME 100
#define IDR_ORVANE_REGISTRY 101
#define IDR_ORVANE_TYPELIB 1
