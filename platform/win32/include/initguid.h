// Included before the headers that use DEFINE_GUID, it makes them define the identifiers
// instead of declaring them. Here DEFINE_GUID always defines (inline constants), so there is
// nothing to switch.
#pragma once
