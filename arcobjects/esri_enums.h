// Enumeration values of the GIS object model, by number as the host defines them.
#pragma once

#include <windef.h>

enum esriGeometryType : LONG {
  esriGeometryNull = 0,
  esriGeometryPoint = 1,
  esriGeometryMultipoint = 2,
  esriGeometryPolyline = 3,
  esriGeometryPolygon = 4,
  esriGeometryEnvelope = 5,
  esriGeometryPath = 6,
  esriGeometryAny = 7,
  esriGeometryMultiPatch = 9,
  esriGeometryRing = 11,
  esriGeometryLine = 13,
  esriGeometryCircularArc = 14,
  esriGeometryBezier3Curve = 15,
  esriGeometryEllipticArc = 16,
  esriGeometryBag = 17,
  esriGeometryTriangleStrip = 18,
  esriGeometryTriangleFan = 19,
  esriGeometryRay = 20,
  esriGeometrySphere = 21,
  esriGeometryTriangles = 22,
};

enum esriGeometryDimension : LONG {
  esriGeometryNoDimension = -1,
  esriGeometry0Dimension = 1,
  esriGeometry1Dimension = 2,
  esriGeometry2Dimension = 4,
  esriGeometry25Dimension = 5,
  esriGeometry3Dimension = 6,
};

enum esriFieldType : LONG {
  esriFieldTypeSmallInteger = 0,
  esriFieldTypeInteger = 1,
  esriFieldTypeSingle = 2,
  esriFieldTypeDouble = 3,
  esriFieldTypeString = 4,
  esriFieldTypeDate = 5,
  esriFieldTypeOID = 6,
  esriFieldTypeGeometry = 7,
  esriFieldTypeBlob = 8,
  esriFieldTypeRaster = 9,
  esriFieldTypeGUID = 10,
  esriFieldTypeGlobalID = 11,
  esriFieldTypeXML = 12,
};

enum esriFeatureType : LONG {
  esriFTSimple = 1,
  esriFTSimpleJunction = 7,
  esriFTSimpleEdge = 8,
  esriFTComplexJunction = 9,
  esriFTComplexEdge = 10,
  esriFTAnnotation = 11,
  esriFTCoverageAnnotation = 12,
  esriFTDimension = 13,
  esriFTRasterCatalogItem = 14,
};

enum esriRasterOpCode : LONG {
  esriROPBlack = 1,
  esriROPNotMergePen = 2,
  esriROPMaskNotPen = 3,
  esriROPNotCopyPen = 4,
  esriROPMaskPenNot = 5,
  esriROPNot = 6,
  esriROPXOrPen = 7,
  esriROPNotMaskPen = 8,
  esriROPMaskPen = 9,
  esriROPNotXOrPen = 10,
  esriROPNOP = 11,
  esriROPMergeNotPen = 12,
  esriROPCopyPen = 13,
  esriROPMergePenNot = 14,
  esriROPMergePen = 15,
  esriROPWhite = 16,
};

enum esriSimpleMarkerStyle : LONG {
  esriSMSCircle = 0,
  esriSMSSquare = 1,
  esriSMSCross = 2,
  esriSMSX = 3,
  esriSMSDiamond = 4,
};

enum esriSimpleLineStyle : LONG {
  esriSLSSolid = 0,
  esriSLSDash = 1,
  esriSLSDot = 2,
  esriSLSDashDot = 3,
  esriSLSDashDotDot = 4,
  esriSLSNull = 5,
  esriSLSInsideFrame = 6,
};

enum esriSimpleFillStyle : LONG {
  esriSFSSolid = 0,
  esriSFSNull = 1,
  esriSFSHollow = 1,
  esriSFSHorizontal = 2,
  esriSFSVertical = 3,
  esriSFSForwardDiagonal = 4,
  esriSFSBackwardDiagonal = 5,
  esriSFSCross = 6,
  esriSFSDiagonalCross = 7,
};

enum esriScreenCache : SHORT {
  esriNoScreenCache = -1,
  esriAllScreenCaches = -2,
  esriScreenRecording = 0,
};
