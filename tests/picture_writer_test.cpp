// Pictures from vortana-render in PNG, SVG and PDF, read back by readers of their own: expat for
// the SVG, Qt's decoder for PNG (also the SVG's embedded one), poppler's pdftoppm for the PDF.

#include "app/picture_writer.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include <cairo-pdf.h>

#include "app/control_ids.h"
#include "app/headless/headless_platform.h"
#include "app/sample_flows.h"
#include "data/flow_file_writer.h"
#include "render/cairo_canvas.h"
#include "render/picture_decorations.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::ReadText;
using testing::RunRender;
using testing::TempDir;

using Points = std::vector<std::pair<double, double>>;

struct SvgContents {
  std::vector<Points> strokes;  // paths drawn as lines, their M and L points in order
  std::vector<std::string> images;
};

Points PathPoints(const std::string& d) {
  std::istringstream in(d);
  Points points;
  std::string token;
  while (in >> token) {
    if (token == "M" || token == "L") {
      double x = 0, y = 0;
      in >> x >> y;
      points.emplace_back(x, y);
    }
  }
  return points;
}

void OnStart(void* data, const char* name, const char** attributes) {
  auto* svg = static_cast<SvgContents*>(data);
  std::string style, d, href;
  for (const char** a = attributes; *a; a += 2) {
    const std::string key = a[0];
    if (key == "style") style = a[1];
    if (key == "d") d = a[1];
    if (key == "xlink:href") href = a[1];
  }
  if (std::string(name) == "path" && style.find("fill:none") != std::string::npos) {
    svg->strokes.push_back(PathPoints(d));
  }
  if (std::string(name) == "image") svg->images.push_back(href);
}

SvgContents ParseSvg(const std::string& text) {
  SvgContents svg;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &svg);
  XML_SetStartElementHandler(parser, OnStart);
  EXPECT_EQ(XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1), XML_STATUS_OK)
      << XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  return svg;
}

// The rankine vortex of vortana-sample on a small grid, which has closed and open streamlines.
std::string WriteVortex(const TempDir& dir) {
  const std::string command = std::string(VORTANA_SAMPLE_EXE) + " --size 48 rankine-vortex '" +
                              dir.Path().string() + "' > /dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return dir.File("rankine-vortex.gri");
}

std::set<std::pair<int, int>> StreamlinePixels(const nlohmann::json& description) {
  std::set<std::pair<int, int>> pixels;
  for (const auto& line : description["streamlines"]) {
    for (const auto& p : line) pixels.insert({p[0].get<int>(), p[1].get<int>()});
  }
  return pixels;
}

TEST(PictureWriter, SvgHoldsTheDescriptionsStreamlinesOverThePngsBackground) {
  const TempDir dir;
  const std::string vortex = WriteVortex(dir);
  const std::vector<std::string> common = {vortex, "--background", "pressure", "--d-sep", "15"};
  std::vector<std::string> svgRun = common;
  svgRun.insert(svgRun.end(), {"-o", dir.File("v.SVG"), "--dump", dir.File("v.json")});
  ASSERT_EQ(RunRender(svgRun).status, 0);
  std::vector<std::string> pngRun = common;
  pngRun.insert(pngRun.end(), {"-o", dir.File("v.png")});
  ASSERT_EQ(RunRender(pngRun).status, 0);

  const nlohmann::json description = nlohmann::json::parse(ReadText(dir.File("v.json")));
  const SvgContents svg = ParseSvg(ReadText(dir.File("v.SVG")));
  const auto& lines = description["streamlines"];
  ASSERT_GT(lines.size(), 3u);
  ASSERT_EQ(svg.strokes.size(), lines.size());  // one path per streamline
  // cairo leaves out a point that continues a straight run, so every point of the description
  // is either a corner of the path or lies on the path's segment through it.
  for (size_t i = 0; i < lines.size(); ++i) {
    Points corners = svg.strokes[i];
    corners.erase(std::unique(corners.begin(), corners.end()), corners.end());  // a dot's two
    size_t next = 0;
    bool onPath = true;
    for (const auto& p : lines[i]) {
      const double x = p[0].get<int>() + 0.5;
      const double y = p[1].get<int>() + 0.5;
      if (next < corners.size() && corners[next] == std::make_pair(x, y)) {
        ++next;
        continue;
      }
      if (next == 0 || next == corners.size()) {
        onPath = false;
        break;
      }
      const auto [ax, ay] = corners[next - 1];
      const auto [bx, by] = corners[next];
      const bool between = (x - ax) * (bx - x) >= 0 && (y - ay) * (by - y) >= 0;
      onPath = onPath && between && (bx - ax) * (y - ay) == (by - ay) * (x - ax);
    }
    EXPECT_TRUE(onPath && next == corners.size()) << "streamline " << i;
  }

  // The embedded image is the PNG wherever no streamline pixel covers it; those are the line's.
  ASSERT_EQ(svg.images.size(), 1u);
  const std::string prefix = "data:image/png;base64,";
  ASSERT_EQ(svg.images[0].rfind(prefix, 0), 0u);
  const QImage embedded = QImage::fromData(QByteArray::fromBase64(
      QByteArray::fromStdString(svg.images[0].substr(prefix.size())))).convertToFormat(QImage::Format_RGB32);
  const QImage png = QImage(QString::fromStdString(dir.File("v.png"))).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(embedded.size(), png.size());
  const std::set<std::pair<int, int>> onLines = StreamlinePixels(description);
  int differing = 0;
  for (int y = 0; y < png.height(); ++y) {
    for (int x = 0; x < png.width(); ++x) {
      const QRgb expected = onLines.count({x, y}) ? qRgb(0, 0, 255) : embedded.pixel(x, y);
      differing += png.pixel(x, y) != expected;
    }
  }
  EXPECT_EQ(differing, 0);
}

// The area and legend are written by us and the page, colour bar and axes by cairo: the two
// make one well-formed document, with the one background image and every streamline.
TEST(PictureWriter, DecoratedSvgIsOneDocument) {
  const TempDir dir;
  const std::string vortex = WriteVortex(dir);
  ASSERT_EQ(RunRender({vortex, "--background", "flow", "--legend", "--colour-bar", "--axes",
                       "--arrowheads", "-o", dir.File("d.svg"), "--dump", dir.File("d.json")})
                .status,
            0);
  const std::string text = ReadText(dir.File("d.svg"));
  const SvgContents svg = ParseSvg(text);
  EXPECT_EQ(svg.images.size(), 1u);
  const nlohmann::json description = nlohmann::json::parse(ReadText(dir.File("d.json")));
  EXPECT_GT(svg.strokes.size(), description["streamlines"].size());  // with the axes' ticks
  EXPECT_NE(text.find("<use xlink:href=\"#glyph"), std::string::npos);  // cairo's text
}

TEST(PictureWriter, PdfRasterisedByPopplerLooksLikeThePng) {
  if (std::system("command -v pdftoppm > /dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftoppm";
  const TempDir dir;
  const std::string vortex = WriteVortex(dir);
  for (const char* name : {"v.pdf", "v.png"}) {
    ASSERT_EQ(RunRender({vortex, "--background", "flow", "-o", dir.File(name)}).status, 0);
  }
  const std::string command = "pdftoppm -r 72 -png -singlefile '" + dir.File("v.pdf") + "' '" +
                              dir.File("poppler") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const QImage poppler = QImage(QString::fromStdString(dir.File("poppler.png"))).convertToFormat(QImage::Format_RGB32);
  const QImage png = QImage(QString::fromStdString(dir.File("v.png"))).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(poppler.size(), png.size());  // one point of the page per pixel
  // Smoothed line edges differ (some 15% of this picture lies beside a line); the background
  // must not.
  long long near = 0;
  for (int y = 0; y < png.height(); ++y) {
    for (int x = 0; x < png.width(); ++x) {
      const QRgb a = poppler.pixel(x, y);
      const QRgb b = png.pixel(x, y);
      near += std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
              std::abs(qBlue(a) - qBlue(b)) <= 2;
    }
  }
  EXPECT_GT(near, png.width() * png.height() * 8 / 10);
}

QImage Rasterised(const TempDir& dir, const std::string& pdf) {
  const std::string command = "pdftoppm -r 72 -png -singlefile '" + dir.File(pdf) + "' '" +
                              dir.File(pdf + ".poppler") + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return QImage(QString::fromStdString(dir.File(pdf + ".poppler.png")))
      .convertToFormat(QImage::Format_RGB32);
}

// A picture without text is our own PDF, one with text cairo's; in both the drawing area lies
// where the layout puts it and shows the PNG's background.
TEST(PictureWriter, BothKindsOfPdfRasteriseOverThePng) {
  if (std::system("command -v pdftoppm > /dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftoppm";
  const TempDir dir;
  const std::string vortex = WriteVortex(dir);
  ASSERT_EQ(RunRender({vortex, "--background", "flow", "-o", dir.File("v.png")}).status, 0);
  const QImage png = QImage(QString::fromStdString(dir.File("v.png"))).convertToFormat(QImage::Format_RGB32);
  struct Case {
    std::string option;
    DecorationChoice choice;
  };
  for (const Case& c : {Case{"--legend", {true, false, false}},
                        Case{"--colour-bar", {false, true, false}}}) {
    ASSERT_EQ(RunRender({vortex, "--background", "flow", c.option, "-o", dir.File("k.pdf")}).status,
              0);
    const QImage poppler = Rasterised(dir, "k.pdf");
    const PictureLayout layout =
        LayoutPicture(png.width(), png.height(), png.width(), kLegendHeight, kLegendGap, c.choice);
    ASSERT_EQ(poppler.size(), QSize(layout.width, layout.height)) << c.option;
    long long near = 0;
    for (int y = 0; y < png.height(); ++y) {
      for (int x = 0; x < png.width(); ++x) {
        const QRgb a = poppler.pixel(layout.area.x + x, layout.area.y + y);
        const QRgb b = png.pixel(x, y);
        near += std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
                std::abs(qBlue(a) - qBlue(b)) <= 2;
      }
    }
    EXPECT_GT(near, png.width() * png.height() * 8 / 10) << c.option;
  }
}

// Our PDF of a dialog and cairo's of the same drawing, wide lines with arrowheads, rasterised by
// poppler alike: the same paths, caps, joins, heads and image placement.
TEST(PictureWriter, OwnPdfRasterisesLikeCairos) {
  if (std::system("command -v pdftoppm > /dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftoppm";
  const TempDir dir;
  HeadlessPlatform platform;
  VisualizerDialog dialog(platform);
  dialog.OnInitDialog();
  dialog.UseField(MakeSampleField(SampleFlow::Cylinder, {48, 48}), "cylinder.gri");
  platform.SetChecked(kIdStreamlines, true);
  platform.SetChecked(kIdEvenlySpaced, true);
  platform.SetControlText(kIdDSep, "15");
  platform.SetChecked(kIdBackground, true);
  dialog.OnVisualize();
  PictureOptions options;
  options.lineWidth = 2.5;
  options.arrowheads = true;
  ASSERT_EQ(WritePicture(dialog, options, dir.File("own.pdf")), "");

  const int size = dialog.DrawingArea().Width();
  cairo_surface_t* surface =
      cairo_pdf_surface_create(dir.File("cairo.pdf").c_str(), size, dialog.DrawingArea().Height());
  cairo_t* cairo = cairo_create(surface);
  {
    CairoCanvas canvas(cairo, size, dialog.DrawingArea().Height(), options.lineWidth);
    canvas.SetArrowheads(true);
    dialog.PaintDrawingArea(canvas);
  }
  cairo_destroy(cairo);
  cairo_surface_destroy(surface);

  const QImage own = Rasterised(dir, "own.pdf");
  const QImage theirs = Rasterised(dir, "cairo.pdf");
  ASSERT_EQ(own.size(), theirs.size());
  long long apart = 0;
  for (int y = 0; y < own.height(); ++y) {
    for (int x = 0; x < own.width(); ++x) {
      const QRgb a = own.pixel(x, y);
      const QRgb b = theirs.pixel(x, y);
      apart += std::abs(qRed(a) - qRed(b)) > 8 || std::abs(qGreen(a) - qGreen(b)) > 8 ||
               std::abs(qBlue(a) - qBlue(b)) > 8;
    }
  }
  EXPECT_LT(apart, own.width() * own.height() / 1000);
}

// Every entry of our PDF's cross-reference table points at its object, the table is where
// startxref says, and each stream is as long as its dictionary says.
TEST(PictureWriter, OwnPdfCrossReferencesItsObjects) {
  const TempDir dir;
  const std::string vortex = WriteVortex(dir);
  ASSERT_EQ(RunRender({vortex, "--background", "flow", "--legend", "--arrowheads", "-o",
                       dir.File("x.pdf")})
                .status,
            0);
  const std::string pdf = ReadText(dir.File("x.pdf"));
  ASSERT_EQ(pdf.rfind("%PDF-", 0), 0u);
  const size_t startxref = pdf.rfind("startxref\n");
  ASSERT_NE(startxref, std::string::npos);
  const size_t xref = std::stoul(pdf.substr(startxref + 10));
  ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
  std::istringstream table(pdf.substr(xref + 5));
  int first = -1, count = 0;
  table >> first >> count;
  ASSERT_EQ(first, 0);
  ASSERT_EQ(count, 7);  // the free entry, catalog, pages, page, content, background, legend
  table.ignore(1);
  std::string entry(20, ' ');
  table.read(entry.data(), 20);
  EXPECT_EQ(entry, "0000000000 65535 f \n");
  for (int i = 1; i < count; ++i) {
    table.read(entry.data(), 20);
    ASSERT_EQ(entry.substr(10), " 00000 n \n") << i;
    const size_t at = std::stoul(entry.substr(0, 10));
    EXPECT_EQ(pdf.compare(at, std::to_string(i).size() + 6, std::to_string(i) + " 0 obj"), 0) << i;
    const size_t end = pdf.find("endobj", at);
    const size_t stream = pdf.find("stream\n", at);
    if (stream < end) {
      const size_t length = pdf.find("/Length ", at);
      ASSERT_LT(length, stream);
      EXPECT_EQ(pdf.compare(stream + 7 + std::stoul(pdf.substr(length + 8)), 10, "\nendstream"), 0)
          << i;
    }
  }
  std::string trailer;
  table >> trailer;
  EXPECT_EQ(trailer, "trailer");
  EXPECT_NE(pdf.find("/Size 7 ", xref), std::string::npos);
}

// Rightward flow at one world unit a pixel: every stored streamline is a row.
std::string WriteRightward(const TempDir& dir) {
  std::vector<GridPoint> nodes(4);
  for (int i = 0; i < 4; ++i) {
    nodes[i].position = {static_cast<float>(512 * (i % 2)), static_cast<float>(512 * (i / 2)), 0};
    nodes[i].velocity = {1, 0, 0};
  }
  EXPECT_EQ(WriteFlowFiles(dir.File("right"), 2, 2, 1, 0, nodes), "");
  return dir.File("right.gri");
}

TEST(PictureWriter, WideRasterLinesAndAxesKeepTheDrawingAreasPixels) {
  const TempDir dir;
  const std::string flow = WriteRightward(dir);
  ASSERT_EQ(RunRender({flow, "-o", dir.File("plain.png"), "--dump", dir.File("d.json")}).status, 0);
  ASSERT_EQ(RunRender({flow, "-o", dir.File("wide.png"), "--line-width", "3"}).status, 0);
  ASSERT_EQ(RunRender({flow, "-o", dir.File("axes.png"), "--axes"}).status, 0);
  const QImage plain(QString::fromStdString(dir.File("plain.png")));
  const QImage wide(QString::fromStdString(dir.File("wide.png")));
  const QImage axes(QString::fromStdString(dir.File("axes.png")));

  // A 3-pixel line covers the rows either side of the 1-pixel one and no further, away from
  // the line's ends.
  const nlohmann::json description = nlohmann::json::parse(ReadText(dir.File("d.json")));
  ASSERT_FALSE(description["streamlines"].empty());
  const auto& line = description["streamlines"][0];
  const auto& p = line[line.size() / 2];
  const int x = p[0].get<int>();
  const int y = p[1].get<int>();
  const QRgb blue = qRgb(0, 0, 255);
  for (const int dy : {-1, 0, 1}) EXPECT_EQ(wide.pixel(x, y + dy), blue) << dy;
  for (const int dy : {-2, 2}) {
    if (y + dy >= 0 && y + dy < plain.height()) {
      EXPECT_EQ(wide.pixel(x, y + dy), plain.pixel(x, y + dy)) << dy;
    }
  }

  // The axes frame the area: somewhere in the larger picture lie the plain picture's pixels.
  ASSERT_GT(axes.width(), plain.width());
  ASSERT_GT(axes.height(), plain.height());
  bool found = false;
  for (int oy = 0; oy + plain.height() <= axes.height() && !found; ++oy) {
    for (int ox = 0; ox + plain.width() <= axes.width() && !found; ++ox) {
      if (axes.copy(ox, oy, plain.width(), plain.height()) == plain) found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST(PictureWriter, BadOutputsAndWidthsAreNamed) {
  const TempDir dir;
  const std::string flow = WriteRightward(dir);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> mentions;
  };
  const std::vector<Case> cases = {
      {{"-o", dir.File("p.jpg")}, 2, {"--output", ".png, .svg or .pdf", "p.jpg"}},
      {{"-o", dir.File("p.svgz")}, 2, {"--output", ".png, .svg or .pdf"}},
      {{"-o", dir.File("p.png"), "--line-width", "0.4"}, 2, {"--line-width", "0.5 and 16"}},
      {{"-o", dir.File("p.png"), "--line-width", "16.5"}, 2, {"--line-width", "0.5 and 16"}},
      {{"-o", dir.File("p.png"), "--line-width", "2px"}, 2, {"--line-width", "2px"}},
      {{"-o", dir.File("p.png"), "--colour-bar"}, 2, {"--colour-bar", "--background"}},
      {{"-o", dir.File("no/such/folder/p.svg")}, 1, {"cannot write the SVG file", "p.svg"}},
      {{"-o", dir.File("no/such/folder/p.pdf")}, 1, {"cannot write the PDF file", "p.pdf"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {flow};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const testing::ProgramRun run = RunRender(args);
    EXPECT_EQ(run.status, c.status) << c.args[1];
    for (const std::string& m : c.mentions) EXPECT_NE(run.err.find(m), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("p.png")));
  EXPECT_EQ(PictureFormatOfPath("dir.svg/picture"), PictureFormat::Png);
  EXPECT_EQ(PictureFormatOfPath("picture.jpeg"), std::nullopt);
  EXPECT_EQ(PictureFormatOfPath("Picture.Pdf"), PictureFormat::Pdf);
}

}  // namespace
}  // namespace vortana
