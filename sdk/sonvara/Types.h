// Handle types shared by the host, modules and plug-ins.
#pragma once

// A key of the settings registry store (opaque).
struct HKEY__;
using HKEY = HKEY__*;
