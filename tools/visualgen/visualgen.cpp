// visualgen: writes the demo's visual-object files from a description file.
//
//   visualgen description.txt output-folder
//
// Each object of the description becomes the file output-folder/xml/<path>.xml in the format the
// game's visual-object factory reads: a "main" element with its "images", "framelist", "states"
// and "objects", children as "obj" elements. The output depends on the description alone; the
// same description always gives the same bytes.
//
// The description, one command a line ('#' starts a comment line):
//   object <path> [attr=value ...]     starts the file xml/<path>.xml; its top object's id is the
//                                       path's last name
//   child <id> [attr=value ...]        starts a child of the current object; with export=<path>
//                                       and nothing of its own, the object of that path is its
//                                       one child
//   end                                 ends the current child, or the object (writes the file)
//   image <name> [centering]           an image of the current object, from the texture folder
//   frame <x> <y> <w> <h> [attr=value ...]         one frame (img, regx, regy, centering)
//   strip <x> <y> <w> <h> <count> [attr=value ...] count frames side by side, w apart
//   state <id> [framelist] [attr=value ...]        a state (defdelay, nextstate, visible, ...)
//   effect <type> [attr=value ...]     an effect of the last state (Particles, ...Interpolator)
//   define <name> [parameter ...]      starts a shared part, up to "enddefine"; its lines are
//                                       kept, not run
//   use <name> [value ...]             runs the part's lines with each $parameter replaced
//   each <names> <values> ... : <line> runs the line once per value; names and values are lists
//                                       joined by commas, and $name is replaced
// The object's attributes are deltaX, deltaY, deltaZ, alpha, visible, flip, blend, rotate,
// scaling, hit_test, export and link; a state takes the same nine look attributes and defdelay
// and nextstate. The frame list of the object reads "centering" as "center": a frame's regx and
// regy are its registration point.
#include "tools/artgen/descriptionline.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace visualgen {
namespace {

namespace fs = std::filesystem;
using TLine = generators::TDescriptionLine;
using TAttributes = std::vector<std::pair<std::string, std::string>>;

const std::set<std::string> kLookAttributes = {"deltaX", "deltaY", "deltaZ", "alpha",  "visible",
                                               "flip",   "blend",  "rotate", "scaling"};
const std::set<std::string> kObjectAttributes = {"hit_test", "export", "link"};
const std::set<std::string> kStateAttributes = {"defdelay", "nextstate"};
const std::set<std::string> kFrameAttributes = {"img", "regx", "regy", "centering"};

struct TState {
    std::string id;
    std::string frames;
    TAttributes attributes;
    std::vector<std::pair<std::string, TAttributes>> effects;
};

struct TObject {
    std::string id;
    TAttributes attributes;
    std::vector<std::pair<std::string, std::string>> images; // name, centering
    std::vector<TAttributes> frames;
    std::vector<TState> states;
    std::vector<std::unique_ptr<TObject>> children;
};

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string AttributeText(const TAttributes& attributes) {
    std::string text;
    for (const auto& [name, value] : attributes) {
        text += " " + name + "=\"" + Escaped(value) + "\"";
    }
    return text;
}

// The words left on the line as name=value pairs, each name one of `allowed`.
TAttributes ReadAttributes(TLine& line, const std::vector<const std::set<std::string>*>& allowed) {
    TAttributes attributes;
    while (!line.AtEnd()) {
        const std::string word = line.Word();
        const size_t equals = word.find('=');
        if (equals == std::string::npos || equals == 0) {
            line.Fail("'" + word + "' is no attribute (name=value)");
        }
        const std::string name = word.substr(0, equals);
        bool known = false;
        for (const auto* names : allowed) {
            known = known || names->count(name) > 0;
        }
        if (!known) {
            line.Fail("'" + name + "' is no attribute here");
        }
        for (const auto& attribute : attributes) {
            if (attribute.first == name) {
                line.Fail("'" + name + "' given twice");
            }
        }
        attributes.emplace_back(name, word.substr(equals + 1));
    }
    return attributes;
}

int WholeNumber(TLine& line) {
    const double value = line.Number();
    if (value != static_cast<double>(static_cast<int>(value))) {
        line.Fail("a whole number is needed");
    }
    return static_cast<int>(value);
}

void Write(std::ostream& out, const TObject& object, const std::string& element, int depth) {
    const std::string pad(static_cast<size_t>(depth) * 2, ' ');
    out << pad << "<" << element << " id=\"" << Escaped(object.id) << "\""
        << AttributeText(object.attributes) << ">\n";
    if (!object.images.empty()) {
        out << pad << "  <images>\n";
        for (const auto& [name, centering] : object.images) {
            out << pad << "    <img name=\"" << Escaped(name) << "\"";
            if (!centering.empty()) {
                out << " centering=\"" << Escaped(centering) << "\"";
            }
            out << "/>\n";
        }
        out << pad << "  </images>\n";
    }
    if (!object.frames.empty()) {
        out << pad << "  <framelist centering=\"center\">\n";
        for (const TAttributes& frame : object.frames) {
            out << pad << "    <frame" << AttributeText(frame) << "/>\n";
        }
        out << pad << "  </framelist>\n";
    }
    if (!object.states.empty()) {
        out << pad << "  <states>\n";
        for (const TState& state : object.states) {
            out << pad << "    <state id=\"" << Escaped(state.id) << "\"";
            if (!state.frames.empty()) {
                out << " framelist=\"" << Escaped(state.frames) << "\"";
            }
            out << AttributeText(state.attributes);
            if (state.effects.empty()) {
                out << "/>\n";
                continue;
            }
            out << ">\n";
            for (const auto& [type, attributes] : state.effects) {
                out << pad << "      <" << type << AttributeText(attributes) << "/>\n";
            }
            out << pad << "    </state>\n";
        }
        out << pad << "  </states>\n";
    }
    if (!object.children.empty()) {
        out << pad << "  <objects>\n";
        for (const auto& child : object.children) {
            Write(out, *child, "obj", depth + 2);
        }
        out << pad << "  </objects>\n";
    }
    out << pad << "</" << element << ">\n";
}

class TGenerator {
public:
    explicit TGenerator(fs::path output) : mOutput(std::move(output)) {}

    void Run(std::istream& description) {
        std::string text;
        int number = 0;
        while (std::getline(description, text)) {
            ++number;
            if (mDefining != nullptr) {
                TLine line(text, number);
                if (!line.Empty() && line.Command() == "enddefine") {
                    line.ExpectEnd();
                    mDefining = nullptr;
                } else {
                    mDefining->lines.emplace_back(text, number);
                }
                continue;
            }
            RunLine(text, number, 0);
        }
        if (mDefining != nullptr) {
            throw std::runtime_error("the last shared part has no enddefine");
        }
        if (!mOpen.empty()) {
            throw std::runtime_error("the last object has no end");
        }
    }

private:
    struct TPart {
        std::vector<std::string> parameters;
        std::vector<std::pair<std::string, int>> lines;
    };

    static std::string Substitute(std::string text, const std::vector<std::string>& names,
                                  const std::vector<std::string>& values) {
        // Longest names first, so that $ab is not taken for $a followed by b.
        std::vector<size_t> order(names.size());
        for (size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return names[a].size() > names[b].size(); });
        for (const size_t i : order) {
            const std::string key = "$" + names[i];
            for (size_t at = text.find(key); at != std::string::npos;
                 at = text.find(key, at + values[i].size())) {
                text.replace(at, key.size(), values[i]);
            }
        }
        return text;
    }

    static std::vector<std::string> Split(const std::string& text) {
        std::vector<std::string> parts;
        std::stringstream in(text);
        std::string part;
        while (std::getline(in, part, ',')) {
            parts.push_back(part);
        }
        return parts;
    }

    void RunLine(const std::string& text, int number, int depth) {
        TLine line(text, number);
        if (line.Empty()) {
            return;
        }
        if (depth > 16) {
            line.Fail("shared parts use each other too deeply");
        }
        const std::string command = line.Command();
        if (command == "define") {
            const std::string name = line.Word();
            if (mParts.count(name) > 0) {
                line.Fail("the shared part '" + name + "' is defined twice");
            }
            TPart& part = mParts[name];
            while (!line.AtEnd()) {
                part.parameters.push_back(line.Word());
            }
            mDefining = &part;
        } else if (command == "use") {
            const std::string name = line.Word();
            const auto found = mParts.find(name);
            if (found == mParts.end()) {
                line.Fail("no shared part '" + name + "'");
            }
            std::vector<std::string> values;
            while (!line.AtEnd()) {
                values.push_back(line.Word());
            }
            if (values.size() != found->second.parameters.size()) {
                line.Fail("'" + name + "' takes " +
                          std::to_string(found->second.parameters.size()) + " values");
            }
            for (const auto& [partText, partNumber] : found->second.lines) {
                RunLine(Substitute(partText, found->second.parameters, values), partNumber,
                        depth + 1);
            }
        } else if (command == "each") {
            const size_t colon = text.find(" : ");
            if (colon == std::string::npos) {
                line.Fail("'each' needs ' : ' before its line");
            }
            TLine head(text.substr(0, colon), number);
            const std::vector<std::string> names = Split(head.Word());
            if (head.AtEnd()) {
                line.Fail("'each' needs values");
            }
            while (!head.AtEnd()) {
                const std::vector<std::string> values = Split(head.Word());
                if (values.size() != names.size()) {
                    line.Fail("'each' takes " + std::to_string(names.size()) + " values a time");
                }
                RunLine(Substitute(text.substr(colon + 3), names, values), number, depth + 1);
            }
        } else {
            Build(command, line);
        }
    }

    TObject& Current(const TLine& line) {
        if (mOpen.empty()) {
            line.Fail("'" + line.Command() + "' outside an object");
        }
        return *mOpen.back();
    }

    void Build(const std::string& command, TLine& line) {
        if (command == "object") {
            if (!mOpen.empty()) {
                line.Fail("an object inside an object");
            }
            mPath = line.Word();
            mRoot = std::make_unique<TObject>();
            mRoot->id = fs::path(mPath).filename().string();
            mRoot->attributes = ReadAttributes(line, {&kLookAttributes, &kObjectAttributes});
            mOpen.push_back(mRoot.get());
        } else if (command == "child") {
            TObject& parent = Current(line);
            auto child = std::make_unique<TObject>();
            child->id = line.Word();
            for (const auto& sibling : parent.children) {
                if (sibling->id == child->id) {
                    line.Fail("two children '" + child->id + "'");
                }
            }
            child->attributes = ReadAttributes(line, {&kLookAttributes, &kObjectAttributes});
            mOpen.push_back(child.get());
            parent.children.push_back(std::move(child));
        } else if (command == "end") {
            line.ExpectEnd();
            const TObject& object = Current(line);
            const bool exports = std::any_of(object.attributes.begin(), object.attributes.end(),
                                             [](const auto& a) { return a.first == "export"; });
            if (object.states.empty() && object.children.empty() && !exports) {
                line.Fail("'" + object.id + "' has neither states nor children");
            }
            mOpen.pop_back();
            if (mOpen.empty()) {
                WriteFile(line);
            }
        } else if (command == "image") {
            TObject& object = Current(line);
            const std::string name = line.Word();
            const std::string centering = line.AtEnd() ? "" : line.Word();
            line.ExpectEnd();
            object.images.emplace_back(name, centering);
        } else if (command == "frame" || command == "strip") {
            TObject& object = Current(line);
            const int x = WholeNumber(line);
            const int y = WholeNumber(line);
            const int w = WholeNumber(line);
            const int h = WholeNumber(line);
            const int count = command == "strip" ? WholeNumber(line) : 1;
            if (w <= 0 || h <= 0 || count < 1) {
                line.Fail("a frame is at least one pixel a side");
            }
            const TAttributes extra = ReadAttributes(line, {&kFrameAttributes});
            for (int i = 0; i < count; ++i) {
                TAttributes frame = {{"x", std::to_string(x + i * w)},
                                     {"y", std::to_string(y)},
                                     {"w", std::to_string(w)},
                                     {"h", std::to_string(h)}};
                frame.insert(frame.end(), extra.begin(), extra.end());
                object.frames.push_back(std::move(frame));
            }
        } else if (command == "state") {
            TObject& object = Current(line);
            TState state;
            state.id = line.Word();
            for (const TState& other : object.states) {
                if (other.id == state.id) {
                    line.Fail("two states '" + state.id + "' in '" + object.id + "'");
                }
            }
            if (!line.AtEnd() && line.Peek().find('=') == std::string::npos) {
                state.frames = line.Word();
            }
            state.attributes = ReadAttributes(line, {&kLookAttributes, &kStateAttributes});
            if (object.frames.empty()) {
                line.Fail("a state of an object without frames");
            }
            object.states.push_back(std::move(state));
        } else if (command == "effect") {
            TObject& object = Current(line);
            if (object.states.empty()) {
                line.Fail("an effect before any state");
            }
            const std::string type = line.Word();
            static const std::map<std::string, std::set<std::string>> kEffects = {
                {"Particles", {"id", "isPreParticle", "deltaX", "deltaY"}},
                {"ScaleInterpolator", {"time", "quant", "keys"}},
                {"AlphaInterpolator", {"time", "quant", "keys"}},
                {"RotateInterpolator", {"time", "quant", "keys"}},
                {"DeltaMoveInterpolator", {"time", "quant", "keys"}}};
            const auto found = kEffects.find(type);
            if (found == kEffects.end()) {
                line.Fail("'" + type + "' is no effect");
            }
            object.states.back().effects.emplace_back(type, ReadAttributes(line, {&found->second}));
        } else {
            line.Fail("'" + command + "' is no command");
        }
    }

    void WriteFile(const TLine& line) {
        const fs::path file = mOutput / "xml" / (mPath + ".xml");
        if (!mWritten.insert(file.generic_string()).second) {
            line.Fail("the object '" + mPath + "' is written twice");
        }
        fs::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        Write(out, *mRoot, "main", 0);
        if (!out.flush()) {
            line.Fail("cannot write " + file.string());
        }
        mRoot.reset();
    }

    fs::path mOutput;
    std::map<std::string, TPart> mParts;
    TPart* mDefining = nullptr;
    std::string mPath;
    std::unique_ptr<TObject> mRoot;
    // The object being described and its open ancestors, outermost first.
    std::vector<TObject*> mOpen;
    std::set<std::string> mWritten;
};

} // namespace
} // namespace visualgen

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: visualgen description.txt output-folder\n");
        return 2;
    }
    std::ifstream description(argv[1]);
    if (!description) {
        std::fprintf(stderr, "visualgen: cannot read %s\n", argv[1]);
        return 1;
    }
    try {
        visualgen::TGenerator generator(argv[2]);
        generator.Run(description);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "visualgen: %s: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}
