{
  "format": "areaclip-map",
  "version": 1,
  "focus_map": 0,
  "maps": [
    { "name": "Слои", "spatial_reference": null, "layers": [],
      "graphics": { "elements": [] } }
  ]
}
