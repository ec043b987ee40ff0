// The parameter set of one cut run: filled by the cut dialog on each Apply, read by the run.
// Holds counted references to the platform objects it stores; checks nothing.
#pragma once

#include <string>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_atl.h"

class TObject;

// The cutting polygon.
class Tvo_arcmap_areaclip_pgnobj_params {
 public:
  Tvo_arcmap_areaclip_pgnobj_params();
  virtual ~Tvo_arcmap_areaclip_pgnobj_params();
  Tvo_arcmap_areaclip_pgnobj_params(const Tvo_arcmap_areaclip_pgnobj_params&) = delete;
  Tvo_arcmap_areaclip_pgnobj_params& operator=(const Tvo_arcmap_areaclip_pgnobj_params&) = delete;

  TComInterface<IFeature> get_feature() const;
  void set_feature(TComInterface<IFeature> value);

 private:
  TComInterface<IFeature> feature;
};

// Where the result goes: the result folder and the result document's path.
class Tvo_arcmap_areaclip_newmap_params {
 public:
  Tvo_arcmap_areaclip_newmap_params();
  virtual ~Tvo_arcmap_areaclip_newmap_params();

  const std::string& get_map_path() const;
  void set_map_path(const std::string& value);
  const std::string& get_folder() const;
  void set_folder(const std::string& value);

 private:
  std::string map_path;
  std::string folder;
};

class Tvo_arcmap_areaclip_params {
 public:
  Tvo_arcmap_areaclip_params();
  virtual ~Tvo_arcmap_areaclip_params();
  Tvo_arcmap_areaclip_params(const Tvo_arcmap_areaclip_params&) = delete;
  Tvo_arcmap_areaclip_params& operator=(const Tvo_arcmap_areaclip_params&) = delete;

  // The object that receives the run's progress reports; not owned, not counted.
  TObject* get_owner() const;
  void set_owner(TObject* value);
  TComInterface<IApplication> get_application() const;
  void set_application(TComInterface<IApplication> value);
  TComInterface<IMxDocument> get_document() const;
  void set_document(TComInterface<IMxDocument> value);
  // Owned by the set for its whole life; the caller does not take ownership.
  Tvo_arcmap_areaclip_pgnobj_params* get_pgnobj() const;
  Tvo_arcmap_areaclip_newmap_params* get_newmap() const;

 private:
  TObject* owner;
  TComInterface<IApplication> application;
  TComInterface<IMxDocument> document;
  Tvo_arcmap_areaclip_pgnobj_params* pgnobj;
  Tvo_arcmap_areaclip_newmap_params* newmap;
};
