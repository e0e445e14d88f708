#include "pdf_canvas.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <new>
#include <string_view>

#include "arrowheads.h"
#include "chain_corners.h"

namespace vortana {

namespace {

void AppendInt(std::string& out, long long value) {
  char text[24];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  out.append(text, ec == std::errc() ? end : text);
}

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// A colour component as PDF wants it, 0 to 1, to four places: 1/255 apart reads back exactly.
void AppendComponent(std::string& out, int component) {
  char text[16];
  auto [end, ec] = std::to_chars(text, text + sizeof text, component / 255.0,
                                 std::chars_format::fixed, 4);
  if (ec != std::errc()) end = text;
  while (end > text + 1 && end[-1] == '0') --end;
  if (end > text && end[-1] == '.') --end;
  out.append(text, end);
}

void AppendRgb(std::string& out, Colour colour, const char* op) {
  AppendComponent(out, RedOf(colour));
  out += ' ';
  AppendComponent(out, GreenOf(colour));
  out += ' ';
  AppendComponent(out, BlueOf(colour));
  out += op;
}

std::string Deflated(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  // The content is numbers and operators, which zlib's fastest level shrinks nearly as well as
  // its default at a fraction of the time.
  const int status = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                               reinterpret_cast<const Bytef*>(bytes.data()),
                               static_cast<uLong>(bytes.size()), Z_BEST_SPEED);
  if (status == Z_MEM_ERROR) throw std::bad_alloc();
  out.resize(size);
  return out;
}

}  // namespace

PdfPage::PdfPage(int width, int height) : width_(width), height_(height) {
  // PDF's default user space has y upward from the bottom; the canvases draw with y downward.
  content_ = "1 0 0 -1 0 ";
  AppendInt(content_, height);
  content_ += " cm\n";
}

std::optional<std::string> PdfPage::AddPngImage(std::span<const uint8_t> png) {
  static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || !std::equal(kSignature, kSignature + 8, png.begin())) return std::nullopt;
  ImageObject image;
  bool header = false;
  for (size_t at = 8; at + 12 <= png.size();) {
    const size_t length = BigEndian32(&png[at]);
    if (length > png.size() - at - 12) return std::nullopt;
    const std::string_view type(reinterpret_cast<const char*>(&png[at + 4]), 4);
    const uint8_t* data = &png[at + 8];
    if (type == "IHDR" && length == 13) {
      // 8 bits, RGB, deflate, the adaptive filters, no interlacing: what the Flate filter's
      // PNG predictors read.
      if (data[8] != 8 || data[9] != 2 || data[10] != 0 || data[11] != 0 || data[12] != 0) {
        return std::nullopt;
      }
      image.width = static_cast<int>(BigEndian32(data));
      image.height = static_cast<int>(BigEndian32(data + 4));
      header = true;
    } else if (type == "IDAT") {
      image.data.append(reinterpret_cast<const char*>(data), length);
    }
    at += length + 12;
  }
  if (!header || image.data.empty() || image.width <= 0 || image.height <= 0) return std::nullopt;
  images_.push_back(std::move(image));
  return "/Im" + std::to_string(images_.size() - 1);
}

std::string PdfPage::Document() const {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";  // binary bytes: the file is not text
  std::vector<size_t> offsets;
  const auto open = [&]() {
    offsets.push_back(pdf.size());
    AppendInt(pdf, static_cast<long long>(offsets.size()));
    pdf += " 0 obj\n";
  };
  const auto stream = [&](const std::string& bytes) {
    pdf += " /Length ";
    AppendInt(pdf, static_cast<long long>(bytes.size()));
    pdf += " >>\nstream\n";
    pdf += bytes;
    pdf += "\nendstream\nendobj\n";
  };
  const int firstImage = 5;
  open();
  pdf += "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
  open();
  pdf += "<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n";
  open();
  pdf += "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
  AppendInt(pdf, width_);
  pdf += ' ';
  AppendInt(pdf, height_);
  pdf += "] /Resources << /XObject << ";
  for (size_t i = 0; i < images_.size(); ++i) {
    pdf += "/Im" + std::to_string(i) + ' ';
    AppendInt(pdf, firstImage + static_cast<long long>(i));
    pdf += " 0 R ";
  }
  pdf += ">> >> /Contents 4 0 R >>\nendobj\n";
  open();
  pdf += "<< /Filter /FlateDecode";
  stream(Deflated(content_));
  for (const ImageObject& image : images_) {
    open();
    // The pixels are data: a viewer is asked not to smooth them when zooming in.
    pdf += "<< /Type /XObject /Subtype /Image /Width ";
    AppendInt(pdf, image.width);
    pdf += " /Height ";
    AppendInt(pdf, image.height);
    pdf += " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Interpolate false /Filter /FlateDecode"
           " /DecodeParms << /Predictor 15 /Colors 3 /BitsPerComponent 8 /Columns ";
    AppendInt(pdf, image.width);
    pdf += " >>";
    stream(image.data);
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 ";
  AppendInt(pdf, static_cast<long long>(offsets.size()) + 1);
  pdf += "\n0000000000 65535 f \n";
  for (const size_t offset : offsets) {
    char entry[21];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf.append(entry, 20);
  }
  pdf += "trailer\n<< /Size ";
  AppendInt(pdf, static_cast<long long>(offsets.size()) + 1);
  pdf += " /Root 1 0 R >>\nstartxref\n";
  AppendInt(pdf, static_cast<long long>(xref));
  pdf += "\n%%EOF\n";
  return pdf;
}

PdfCanvas::PdfCanvas(PdfPage& page, PixelPoint origin, int width, int height, double lineWidth,
                     PngEncoder encodePng)
    : PathCanvas(width, height, lineWidth, encodePng), page_(page), out_(page.Content()) {
  out_ += "q 1 0 0 1 ";
  AppendInt(out_, origin.x);
  out_ += ' ';
  AppendInt(out_, origin.y);
  out_ += " cm 0 0 ";
  AppendInt(out_, width);
  out_ += ' ';
  AppendInt(out_, height);
  out_ += " re W n ";
  Number(lineWidth_);
  // Round ends, so that a one-pixel chain still shows as a dot and corners stay closed.
  out_ += " w 1 J 1 j\n";
}

PdfCanvas::~PdfCanvas() { out_ += "Q\n"; }

void PdfCanvas::Number(double value) {
  // Most numbers are pixel centres, n + 0.5, and the rest (arrowheads) need no more than
  // hundredths of a pixel.
  const double twice = value * 2.0;
  if (twice == std::floor(twice) && std::abs(twice) < 4e9) {
    const long long halves = static_cast<long long>(twice);
    AppendInt(out_, halves / 2);
    if (halves % 2 != 0) {
      // -0.5 is "-0.5": halves / 2 truncates to 0 and loses the sign.
      if (halves == -1) out_.insert(out_.size() - 1, 1, '-');
      out_ += ".5";
    }
    return;
  }
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
  if (ec != std::errc()) {
    out_ += '0';
    return;
  }
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  out_.append(text, end);
}

void PdfCanvas::Point(double x, double y, const char* op) {
  Number(x);
  out_ += ' ';
  Number(y);
  out_ += op;
}

void PdfCanvas::StrokeColour(Colour colour) {
  if (stroke_ == colour) return;
  AppendRgb(out_, colour, " RG\n");
  stroke_ = colour;
}

void PdfCanvas::FillColour(Colour colour) {
  if (fill_ == colour) return;
  AppendRgb(out_, colour, " rg\n");
  fill_ = colour;
}

void PdfCanvas::LineTo(int x, int y) {
  StrokeColour(pen_);
  Centre(current_, " m ");
  Centre({x, y}, " l S\n");
  current_ = {x, y};
}

void PdfCanvas::Polyline(const std::array<PixelPoint, 3>& points) {
  StrokeColour(pen_);
  Centre(points[0], " m ");
  Centre(points[1], " l ");
  Centre(points[2], " l S\n");
}

void PdfCanvas::FillSolidRect(int x, int y, int w, int h, Colour c) {
  if (w <= 0 || h <= 0) return;
  FillColour(c);
  Point(x, y, " ");
  Point(w, h, " re f\n");
}

void PdfCanvas::SetPixel(int x, int y, Colour c) { FillSolidRect(x, y, 1, 1, c); }

void PdfCanvas::PixelChain(std::span<const PixelPoint> chain, Colour colour) {
  if (chain.empty()) return;
  StrokeColour(colour);
  const int corners = ForEachCorner(chain, [this, first = true](PixelPoint p) mutable {
    Centre(p, first ? " m " : " l ");
    first = false;
  });
  // A single pixel is a path of no length, which the round ends draw as a dot.
  if (corners == 1) Centre(chain.front(), " l ");
  out_ += "S\n";
  if (!arrowheads_) return;
  const std::vector<ArrowheadShape> heads = ArrowheadsAlong(chain, lineWidth_);
  if (heads.empty()) return;
  FillColour(colour);
  // A line's heads as one fill, as cairo draws them: every head is the same triangle turned and
  // moved, so all wind the same way, and where two overlap the non-zero rule still fills them.
  for (const ArrowheadShape& head : heads) {
    Point(head[0].x, head[0].y, " m ");
    Point(head[1].x, head[1].y, " l ");
    Point(head[2].x, head[2].y, " l h ");
  }
  out_ += "f\n";
}

void PdfCanvas::Arrow(const ArrowGlyph& glyph) {
  StrokeColour(pen_);
  Centre(glyph.tail, " m ");
  Centre(glyph.tip, " l ");
  Centre(glyph.head[0], " m ");
  Centre(glyph.head[1], " l ");
  Centre(glyph.head[2], " l S\n");
  current_ = glyph.tip;
}

void PdfCanvas::Image(const Colour* pixels, int width, int height) {
  if (width <= 0 || height <= 0 || !error_.empty()) return;
  std::vector<uint8_t> png;
  error_ = encodePng_(pixels, width, height, png);
  if (!error_.empty()) return;
  const std::optional<std::string> name = page_.AddPngImage(png);
  if (!name) {
    error_ = "the image's PNG encoding is not 8-bit RGB";
    return;
  }
  // An image fills the unit square with its first row at the top, which is y = 1 here.
  out_ += "q ";
  AppendInt(out_, width);
  out_ += " 0 0 ";
  AppendInt(out_, -height);
  out_ += " 0 ";
  AppendInt(out_, height);
  out_ += " cm " + *name + " Do Q\n";
}

}  // namespace vortana
