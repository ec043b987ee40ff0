#include "cut_session.h"

#include <gtest/gtest.h>

#include <gis/application.h>
#include <win32/paths.h>
#include <win32/text.h>

#include "support/map_layers.h"

namespace cut_session {

OpenDocument open(const std::filesystem::path& document, const std::filesystem::path& templates_folder) {
  OpenDocument open;
  open.app = gis::CreateApplication({templates_folder.string()});
  win32::Bstr path = win32::Bstr::from_utf8(document.string());
  EXPECT_EQ(open.app->OpenDocument(path.get()), S_OK) << document;
  win32::ComPtr<IDocument> opened;
  open.app->get_Document(opened.put());
  if (!opened) return open;
  open.document = opened.as<IMxDocument>();
  if (open.document) open.document->get_FocusMap(open.focus_map.put());
  EXPECT_TRUE(open.focus_map) << document;
  return open;
}

win32::ComPtr<IFeature> feature_of(IMap* map, const std::string& layer_name, LONG oid) {
  if (!map) return nullptr;
  win32::ComPtr<IFeatureLayer> layer = testing_support::layer_named(map, layer_name).as<IFeatureLayer>();
  EXPECT_TRUE(layer) << "no feature layer " << layer_name;
  win32::ComPtr<IFeatureClass> feature_class;
  if (layer) layer->get_FeatureClass(feature_class.put());
  win32::ComPtr<IFeature> feature;
  if (feature_class) feature_class->GetFeature(oid, feature.put());
  EXPECT_TRUE(feature) << "no feature " << oid << " in " << layer_name;
  return feature;
}

int run_cut(IApplication* app, IMxDocument* document, IFeature* cutter, const std::filesystem::path& folder,
            TObject* owner) {
  Tvo_arcmap_areaclip_params params;
  params.set_owner(owner);
  params.set_application(app);
  params.set_document(document);
  params.get_pgnobj()->set_feature(cutter);
  std::string f = win32::posix_path_to_ansi(folder.string());
  params.get_newmap()->set_folder(f);
  params.get_newmap()->set_map_path(f + "\\cross.mxd");
  return execute_cut(&params);
}

}  // namespace cut_session
