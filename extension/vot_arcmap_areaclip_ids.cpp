// The module's one definition of the identifiers it uses: <initguid.h> first turns every
// DEFINE_GUID of the headers below into a definition (on platforms where the headers
// define them anyway it changes nothing).
#include <initguid.h>

#include "arcobjects/esri_ids.h"
#include "extension/vot_arcmap_areaclip_tlb.h"
