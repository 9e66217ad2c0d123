/* The host's property page class identifiers are declared in its SDK header without a definition;
   this file defines them (the header's interface identifiers come along as shared, duplicate-safe
   definitions). */
#include <initguid.h>

#include "CorvathSdk.h"
