// Times the map canvas's drawing of a document's focus map, as the window draws it, without
// the window: canvas_draw DOC --size WxH [--extent XMIN,YMIN,XMAX,YMAX] [--runs N] [--png FILE]
// [--steps] [--first XMIN,YMIN,XMAX,YMAX]. Prints one line of JSON: the seconds of each run
// (document loading excluded); --steps first times each step (layer) of the drawing alone,
// on stderr; --first draws that view once, untimed, before the runs (as the window shows the
// whole map before one zooms in: the sources' extent indexes are then learnt).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gis/document.h>
#include <gis/gis.h>
#include <gis/render.h>

#include "window/map_painter.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string doc, png;
  gis::MapView view;
  view.width = 1200, view.height = 800;
  int runs = 1;
  bool steps = false;
  gis::MapView first;
  bool has_first = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--size" && more) {
      if (std::sscanf(argv[++i], "%dx%d", &view.width, &view.height) != 2) return 2;
    } else if (a == "--extent" && more) {
      if (std::sscanf(argv[++i], "%lf,%lf,%lf,%lf", &view.xmin, &view.ymin, &view.xmax, &view.ymax) != 4) return 2;
    } else if (a == "--first" && more) {
      first.width = view.width, first.height = view.height;
      if (std::sscanf(argv[++i], "%lf,%lf,%lf,%lf", &first.xmin, &first.ymin, &first.xmax, &first.ymax) != 4) return 2;
      has_first = true;
    } else if (a == "--runs" && more) {
      runs = std::atoi(argv[++i]);
    } else if (a == "--steps") {
      steps = true;
    } else if (a == "--png" && more) {
      png = argv[++i];
    } else if (doc.empty() && a[0] != '-') {
      doc = a;
    } else {
      std::fprintf(stderr, "usage: canvas_draw DOC --size WxH [--extent XMIN,YMIN,XMAX,YMAX] [--runs N] [--png FILE] [--steps] [--first XMIN,YMIN,XMAX,YMAX]\n");
      return 2;
    }
  }
  QGuiApplication app(argc, argv);
  gis::RegisterClasses();
  std::string error;
  win32::ComPtr<IMxDocument> document = gis::LoadDocument(doc, &error);
  if (!document) {
    std::fprintf(stderr, "canvas_draw: %s\n", error.c_str());
    return 1;
  }
  QImage picture(view.width, view.height, QImage::Format_RGB32);
  if (has_first) {
    first.width = view.width, first.height = view.height;
    std::vector<std::string> warnings;
    host::DrawMapView(document.get(), first, picture, &warnings);
  }
  if (steps) {
    // Each step of the drawing alone, one after another (to stderr).
    const gis::MapViewDrawing drawing(document.get(), view);
    for (size_t step = 0; step < drawing.steps(); ++step) {
      const auto start = std::chrono::steady_clock::now();
      QPainter painter(&picture);
      host::QtMapPainter map_painter(painter);
      drawing.Draw(step, map_painter);
      painter.end();
      std::fprintf(stderr, "step %zu: %.4f s\n", step,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  std::printf("{\"seconds\": [");
  for (int r = 0; r < runs; ++r) {
    const auto start = std::chrono::steady_clock::now();
    picture.fill(Qt::white);
    std::vector<std::string> warnings;
    host::DrawMapView(document.get(), view, picture, &warnings);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s%.4f", r ? ", " : "", seconds);
    for (const std::string& w : warnings) std::fprintf(stderr, "canvas_draw: %s\n", w.c_str());
  }
  std::printf("]}\n");
  if (!png.empty() && !picture.save(QString::fromStdString(png))) return 1;
  return 0;
}
