#include "vot_arcmap_areaclip_params.h"

Tvo_arcmap_areaclip_pgnobj_params::Tvo_arcmap_areaclip_pgnobj_params() = default;
Tvo_arcmap_areaclip_pgnobj_params::~Tvo_arcmap_areaclip_pgnobj_params() = default;
TComInterface<IFeature> Tvo_arcmap_areaclip_pgnobj_params::get_feature() const { return feature; }
void Tvo_arcmap_areaclip_pgnobj_params::set_feature(TComInterface<IFeature> value) { feature = std::move(value); }

Tvo_arcmap_areaclip_newmap_params::Tvo_arcmap_areaclip_newmap_params() = default;
Tvo_arcmap_areaclip_newmap_params::~Tvo_arcmap_areaclip_newmap_params() = default;
const std::string& Tvo_arcmap_areaclip_newmap_params::get_map_path() const { return map_path; }
void Tvo_arcmap_areaclip_newmap_params::set_map_path(const std::string& value) { map_path = value; }
const std::string& Tvo_arcmap_areaclip_newmap_params::get_folder() const { return folder; }
void Tvo_arcmap_areaclip_newmap_params::set_folder(const std::string& value) { folder = value; }

Tvo_arcmap_areaclip_params::Tvo_arcmap_areaclip_params()
    : owner(nullptr),
      pgnobj(new Tvo_arcmap_areaclip_pgnobj_params),
      newmap(new Tvo_arcmap_areaclip_newmap_params) {}

Tvo_arcmap_areaclip_params::~Tvo_arcmap_areaclip_params() {
  delete newmap;
  delete pgnobj;
  document.Reset();
  application.Reset();
}

TObject* Tvo_arcmap_areaclip_params::get_owner() const { return owner; }
void Tvo_arcmap_areaclip_params::set_owner(TObject* value) { owner = value; }
TComInterface<IApplication> Tvo_arcmap_areaclip_params::get_application() const { return application; }
void Tvo_arcmap_areaclip_params::set_application(TComInterface<IApplication> value) { application = std::move(value); }
TComInterface<IMxDocument> Tvo_arcmap_areaclip_params::get_document() const { return document; }
void Tvo_arcmap_areaclip_params::set_document(TComInterface<IMxDocument> value) { document = std::move(value); }
Tvo_arcmap_areaclip_pgnobj_params* Tvo_arcmap_areaclip_params::get_pgnobj() const { return pgnobj; }
Tvo_arcmap_areaclip_newmap_params* Tvo_arcmap_areaclip_params::get_newmap() const { return newmap; }
