// Reads a printed ticket sheet back with qpdf (not with the host's own code): the media box,
// every text drawn with its font, size and position, and every path with how it is painted.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <map>
#include <string>
#include <vector>

namespace sheettest {

struct SheetText {
  std::string text;  // the string's bytes as drawn
  std::string font;  // the BaseFont of the font resource
  double size = 0;   // the text matrix's scale times the font size
  double x = 0;
  double y = 0;
};

struct Segment {
  std::string op;  // m, l, c, v, y, re or h
  std::vector<double> operands;
};

struct SheetPath {
  std::vector<Segment> segments;
  std::string paint;  // S, f, B, f*, B* or n
  std::vector<double> fill;
  std::vector<double> stroke;
  double lineWidth = 1;
  double fillOpacity = 1;
};

struct Sheet {
  std::vector<double> mediaBox;
  std::vector<SheetText> texts;
  std::vector<SheetPath> paths;
  std::string operators;  // the page's content as qpdf tokenised it, one operator a line

  // The texts with exactly these bytes, in drawing order.
  std::vector<const SheetText*> find(const std::string& text) const
  {
    std::vector<const SheetText*> found;
    for (const auto& t : texts)
      if (t.text == text)
        found.push_back(&t);
    return found;
  }
};

namespace detail {

class SheetParser : public QPDFObjectHandle::ParserCallbacks {
 public:
  SheetParser(Sheet& sheet, QPDFObjectHandle resources) : sheet_(sheet), resources_(resources) {}

  void handleObject(QPDFObjectHandle object) override
  {
    if (!object.isOperator()) {
      operands_.push_back(object);
      return;
    }
    std::string op = object.getOperatorValue();
    sheet_.operators += op + "\n";
    handle(op);
    operands_.clear();
  }
  void handleEOF() override {}

 private:
  struct State {
    std::vector<double> fill{0};
    std::vector<double> stroke{0};
    double lineWidth = 1;
    double fillOpacity = 1;
    std::string font;
    double fontSize = 1;
  };

  std::vector<double> numbers()
  {
    std::vector<double> values;
    for (auto& o : operands_)
      if (o.isNumber())
        values.push_back(o.getNumericValue());
    return values;
  }

  void handle(const std::string& op)
  {
    if (op == "q") {
      stack_.push_back(state_);
    } else if (op == "Q") {
      if (!stack_.empty()) {
        state_ = stack_.back();
        stack_.pop_back();
      }
    } else if (op == "g" || op == "rg" || op == "k") {
      state_.fill = numbers();
    } else if (op == "G" || op == "RG" || op == "K") {
      state_.stroke = numbers();
    } else if (op == "w") {
      state_.lineWidth = numbers().at(0);
    } else if (op == "gs") {
      QPDFObjectHandle gs = resources_.getKey("/ExtGState").getKey(operands_.at(0).getName());
      if (gs.getKey("/ca").isNumber())
        state_.fillOpacity = gs.getKey("/ca").getNumericValue();
    } else if (op == "Tf") {
      QPDFObjectHandle font = resources_.getKey("/Font").getKey(operands_.at(0).getName());
      state_.font = font.getKey("/BaseFont").getName().substr(1);
      state_.fontSize = operands_.at(1).getNumericValue();
    } else if (op == "Tm") {
      matrix_ = numbers();
    } else if (op == "Tj") {
      SheetText text;
      text.text = operands_.at(0).getStringValue();
      text.font = state_.font;
      text.size = matrix_.at(0) * state_.fontSize;
      text.x = matrix_.at(4);
      text.y = matrix_.at(5);
      sheet_.texts.push_back(text);
    } else if (op == "m" || op == "l" || op == "c" || op == "v" || op == "y" || op == "re" ||
               op == "h") {
      path_.segments.push_back(Segment{op, numbers()});
    } else if (op == "S" || op == "f" || op == "B" || op == "f*" || op == "B*" || op == "n") {
      path_.paint = op;
      path_.fill = state_.fill;
      path_.stroke = state_.stroke;
      path_.lineWidth = state_.lineWidth;
      path_.fillOpacity = state_.fillOpacity;
      sheet_.paths.push_back(path_);
      path_ = SheetPath();
    }
  }

  Sheet& sheet_;
  QPDFObjectHandle resources_;
  std::vector<QPDFObjectHandle> operands_;
  State state_;
  std::vector<State> stack_;
  std::vector<double> matrix_{1, 0, 0, 1, 0, 0};
  SheetPath path_;
};

}  // namespace detail

// Reads the first page of a PDF file. Throws qpdf's exceptions for a file it cannot read.
inline Sheet readSheet(const std::string& path)
{
  QPDF pdf;
  pdf.processFile(path.c_str());
  Sheet sheet;
  std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
  if (pages.empty())
    return sheet;
  QPDFPageObjectHelper page = pages.front();
  for (auto& item : page.getAttribute("/MediaBox", false).getArrayAsVector())
    sheet.mediaBox.push_back(item.getNumericValue());
  detail::SheetParser parser(sheet, page.getAttribute("/Resources", false));
  page.parseContents(&parser);
  return sheet;
}

}  // namespace sheettest
