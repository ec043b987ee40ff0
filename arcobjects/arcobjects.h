// Everything the system declares of the GIS object model.
#pragma once

#include "esri_carto.h"
#include "esri_display.h"
#include "esri_enums.h"
#include "esri_framework.h"
#include "esri_geodatabase.h"
#include "esri_geometry.h"
#include "esri_ids.h"
#include "esri_system.h"
