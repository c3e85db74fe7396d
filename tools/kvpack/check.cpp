// Running check scripts on a packed application.
#include "tools/kvpack/check.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/block.hpp"
#include "app/clipboard_items.hpp"
#include "app/draw_cycle.hpp"
#include "app/error_place.hpp"
#include "app/errors.hpp"
#include "app/event_values.hpp"
#include "app/figure_commands.hpp"
#include "app/figure_event_route.hpp"
#include "app/figure_mouse.hpp"
#include "app/figure_png.hpp"
#include "app/handler_runner.hpp"
#include "app/headless_view.hpp"
#include "app/instance_figure.hpp"
#include "app/instance_info.hpp"
#include "app/instances.hpp"
#include "app/languages.hpp"
#include "app/menu_items.hpp"
#include "app/name_buffer.hpp"
#include "app/plot_handlers.hpp"
#include "app/post_event.hpp"
#include "app/reset_data.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/text/display.hpp"
#include "engine/values/values.hpp"
#include "graphics/mouse_tools.hpp"
#include "graphics/text_field_edit.hpp"
#include "platform/read_files.hpp"
#include "tools/kvpack/check_dialogs.hpp"
#include "tools/kvpack/line_tokens.hpp"
#include "tools/kvpack/word_choices.hpp"

namespace vke::kvpack {

namespace {

constexpr int32_t kInstance = 0;
constexpr int32_t kClipboardBytes = 1 << 16;
constexpr int32_t kHelpBytes = 1 << 16;
constexpr int32_t kDefaultWidth = 640;
constexpr int32_t kDefaultHeight = 480;
// Wheel units per notch, as the window gets them, and the most notches
// whose units a 32-bit word holds.
constexpr int32_t kWheelNotch = 120;
constexpr int32_t kMaxNotches = INT32_MAX / kWheelNotch;

// Keys without a character, by the names the "key" step takes.
struct KeyName {
  const char* name;
  uint32_t key;
};
constexpr KeyName kKeyNames[] = {
    {"backspace", kKeyBackspace}, {"enter", kKeyEnter}, {"delete", kKeyDelete}, {"left", kKeyLeft},
    {"right", kKeyRight},         {"up", kKeyUp},       {"down", kKeyDown},
};

// The steps of a script, by the rows of check_steps.def.
enum class StepKind {
#define KVPACK_CHECK_STEP(id, name, form) id,
#include "tools/kvpack/check_steps.def"
#undef KVPACK_CHECK_STEP
};
struct StepRow {
  const char* name;
  StepKind kind;
};
constexpr StepRow kSteps[] = {
#define KVPACK_CHECK_STEP(id, name, form) {name, StepKind::id},
#include "tools/kvpack/check_steps.def"
#undef KVPACK_CHECK_STEP
};

const StepRow* FindStep(const std::string& name) {
  for (const StepRow& row : kSteps)
    if (name == row.name) return &row;
  return nullptr;
}

// "a step name (reset, draw, ...)", for a line that names none.
std::string StepNames() {
  std::vector<std::string_view> names;
  for (const StepRow& row : kSteps) names.push_back(row.name);
  return "a step name (" + WordList(names) + ")";
}

void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
}

class Checker {
 public:
  explicit Checker(ToolHost* host) : h_(host) { dialogs_.Install(host->block()); }

  // One step; false with the reason for a line that is none.
  bool Step(TokenCursor& c, std::string* error) {
    const Token word = c.Take();
    const StepRow* step = word.type == Tok::kName ? FindStep(word.text) : nullptr;
    if (step == nullptr) return Bad(error, StepNames());
    const std::string& w = word.text;
    BeginTopLevelAction(h_->ctx());
    switch (step->kind) {
      case StepKind::kMode:
        return Mode(c, error);
      case StepKind::kMouse:
      case StepKind::kHover:
      case StepKind::kScroll:
      case StepKind::kSelect:
        return Pointer(step->kind, c, error);
      default:
        // The figure may change: the view paints it before the next mouse step.
        stale_ = true;
        return Action(step->kind, w, c, error);
    }
  }

 private:
  // The steps that do not drive the view.
  bool Action(StepKind kind, const std::string& w, TokenCursor& c, std::string* error) {
    switch (kind) {
      case StepKind::kReset:
      case StepKind::kDraw:
      case StepKind::kUndo:
      case StepKind::kRedo:
      case StepKind::kIdle:
        if (!c.AtEnd()) return Bad(error, "nothing after " + w);
        Report(Simple(kind));
        return true;
      case StepKind::kEvent:
        return Event(c, error);
      case StepKind::kPng:
        return Png(c, error);
      case StepKind::kAnswer:
        return Answer(c, error);
      case StepKind::kPrint: {
        const Token name = c.Take();
        if (name.type != Tok::kName || !c.AtEnd()) return Bad(error, "a variable name");
        PrintVariable(name.text);
        return true;
      }
      case StepKind::kHelp: {
        if (c.Peek().type != Tok::kString) return Bad(error, "a mode after help");
        const std::string mode = c.Take().text;
        if (mode.size() != 1 || !c.AtEnd()) return Bad(error, "a one-letter mode");
        PrintHelp(mode[0]);
        return true;
      }
      case StepKind::kKey:
        if (c.Peek().type == Tok::kName) return NamedKey(c, error);
        return TextStep(kind, w, c, error);
      case StepKind::kMenu:
      case StepKind::kState:
      case StepKind::kCopy:
      case StepKind::kPaste:
      case StepKind::kLanguage:
        return TextStep(kind, w, c, error);
      case StepKind::kMode:
      case StepKind::kMouse:
      case StepKind::kHover:
      case StepKind::kScroll:
      case StepKind::kSelect:
        break;
    }
    return Bad(error, StepNames());
  }

  bool Bad(std::string* error, const std::string& expected) {
    *error = "expected " + expected;
    return false;
  }

  // The steps that name an item, a key or a language by its text.
  bool TextStep(StepKind kind, const std::string& w, TokenCursor& c, std::string* error) {
    if (c.Peek().type != Tok::kString) return Bad(error, "a text after " + w);
    const std::string text = c.Take().text;
    std::string data;
    const bool hasData = kind == StepKind::kPaste && c.Peek().type == Tok::kString;
    if (hasData) data = c.Take().text;
    if (!c.AtEnd()) return Bad(error, "nothing more");
    if (kind == StepKind::kKey) {
      if (text.empty()) return Bad(error, "a key");
      Report(HandleFigureKey(h_->slot(), kInstance, static_cast<uint8_t>(text[0])));
    } else if (kind == StepKind::kLanguage) {
      int32_t offset;
      ErrCode e = FindLanguageByName(h_->block(), kInstance, text, &offset);
      Report(e ? e : SetInstanceLanguage(h_->slot(), kInstance, offset));
    } else {
      Item(kind, text, hasData ? &data : nullptr);
    }
    return true;
  }

  // "answer yes", "answer no" (a cancel) or "answer TEXT": the next dialog's.
  bool Answer(TokenCursor& c, std::string* error) {
    const Token a = c.Take();
    const bool word = a.type == Tok::kName && (a.text == "yes" || a.text == "no");
    if ((!word && a.type != Tok::kString) || !c.AtEnd())
      return Bad(error, "yes, no or a text after answer");
    dialogs_.Queue(!word || a.text == "yes", word ? "" : a.text);
    return true;
  }

  ErrCode Simple(StepKind kind) {
    KVContextBlock** slot = h_->slot();
    switch (kind) {
      case StepKind::kReset:
        return ResetInstanceData(slot, kInstance);
      case StepKind::kDraw:
        return RunDrawHandlers(slot, kInstance);
      case StepKind::kUndo:
        return UndoFigureStep(slot, kInstance);
      case StepKind::kRedo:
        return RedoFigureStep(slot, kInstance);
      default:
        return RunTimerTick(slot, kInstance);
    }
  }

  // The help text is printed once it stands whole, the block grown until
  // it has room for it.
  void PrintHelp(char mode) {
    std::string text(kHelpBytes, '\0');
    int32_t n = 0;
    const ErrCode e = RunWithGrowth(h_->slot(), [&](KVContextBlock* block) {
      return GetInstanceHelpText(block, kInstance, mode, text.data(), kHelpBytes, &n);
    });
    // The text ends its lines as the block does; a last line end is added.
    if (!e) Print(text.substr(0, n) + (n && text[n - 1] == '\n' ? "" : "\n"));
    Report(e);
  }

  // "=> code message" for anything but 0, and ": detail" when there is
  // one; statuses have no message.
  void Report(ErrCode e, const std::string& detail = "") {
    std::fflush(stdout);
    if (!e) return;
    std::string line = "=> " + std::to_string(e);
    if (e < 10000 || FindAppErrorRecord(e)) line += " " + ActionErrorText(h_->block(), e);
    if (!detail.empty()) line += ": " + detail;
    Print(line + "\n");
  }

  // The item of a menu, paste or copy family with that text; else false,
  // with the texts of the family's items in *texts.
  bool FindItem(char letter, const std::string& text, int32_t* at,
                std::vector<std::string>* texts) {
    MenuEntry entry;
    for (*at = -1; GetMenuItemInfo(h_->block(), kInstance, letter, at, &entry) == kOk;) {
      if (entry.text == text) return true;
      // A paste item without text continues the one before it.
      if (!entry.text.empty()) texts->push_back('"' + std::string(entry.text) + '"');
    }
    return false;
  }

  void Item(StepKind kind, const std::string& text, const std::string* data) {
    const char letter = kind == StepKind::kPaste ? 'i' : kind == StepKind::kCopy ? 'c' : 'm';
    const char* family = letter == 'i' ? "paste item" : letter == 'c' ? "copy item" : "menu item";
    int32_t at;
    std::vector<std::string> texts;
    if (!FindItem(letter, text, &at, &texts)) {
      return Report(
          kKvUndefElement,
          "no " + std::string(family) + " \"" + text + "\" (" +
              (texts.empty() ? "the application has none" : "there are " + WordList(texts)) + ")");
    }
    KVContextBlock** slot = h_->slot();
    if (kind == StepKind::kMenu) return Report(RunMenuItemHandler(slot, kInstance, at));
    if (kind == StepKind::kPaste) {
      const std::string& pasted = data ? *data : clipboard_;
      return Report(
          PasteLink(slot, kInstance, at, pasted.data(), static_cast<int32_t>(pasted.size())));
    }
    if (kind == StepKind::kState) {
      uint8_t state = 0;
      const int32_t version = UndoSetCurrentVersion((*slot)->UndoArea(), kInstance);
      const ErrCode e = GetMenuItemState(slot, kInstance, at, version, clipboard_.data(),
                                         static_cast<int32_t>(clipboard_.size()), &state);
      if (!e)
        Print("state " + std::to_string(state & (kMenuStateEnabled | kMenuStateChecked)) + "\n");
      return Report(e);
    }
    std::string buffer(kClipboardBytes, '\0');
    int32_t written = 0;
    const ErrCode e =
        RunCopyHandler(slot, kInstance, at, -1, buffer.data(), kClipboardBytes, &written);
    if (!e) {
      clipboard_.assign(buffer.data(), static_cast<size_t>(written));
      // Shown with its line ends as LF.
      std::string shown;
      for (char ch : clipboard_)
        if (ch != '\r') shown += ch;
      Print("clipboard: " + shown + (shown.empty() || shown.back() != '\n' ? "\n" : ""));
    }
    Report(e);
  }

  // The mouse handler kinds an event step names by their _action names.
  static std::vector<uint32_t> EventKinds() {
    std::vector<uint32_t> kinds;
    for (const ElementKindInfo& k : kElementKinds) {
      const bool mouse = k.group == HandlerGroup::kButton || k.group == HandlerGroup::kHover ||
                         k.group == HandlerGroup::kFileDrag;
      if (mouse && *HandlerActionName(k.code)) kinds.push_back(k.code);
    }
    return kinds;
  }

  // The mouse handler kind whose _action name this is, 0 for none.
  static uint32_t EventKind(const std::string& name) {
    for (uint32_t kind : EventKinds())
      if (name == HandlerActionName(kind)) return kind;
    return 0;
  }

  // "a mouse event name (mousedown, ...)".
  static std::string EventNames() {
    std::vector<std::string_view> names;
    for (uint32_t kind : EventKinds()) names.push_back(HandlerActionName(kind));
    return "a mouse event name (" + WordList(names) + ")";
  }

  // Whether the first plot takes an event of the kind for the target: it
  // does unless it has handlers of the kind and none takes that target;
  // else *why says which targets they take.
  bool TargetTaken(uint32_t kind, int32_t target, std::string* why) {
    InstanceRecord* r = FindInstance(h_->block(), kInstance);
    if (r == nullptr) return true;
    const int32_t plot = r->figure.subplots[0].plotId;
    InstanceFigureHost host(h_->slot(), kInstance);
    PlotHandlers handlers;
    const int32_t slot = PlotHandlerSlot(kind);
    if (host.FindPlotHandlers(plot, target, &handlers) || slot == kNoHandler ||
        handlers.descriptors[slot] >= 0)
      return true;
    const std::vector<int32_t> targets = host.PlotHandlerTargets(plot, kind);
    if (targets.empty()) return true;
    std::vector<std::string> taken;
    for (int32_t t : targets) taken.push_back(std::to_string(t));
    const std::string name = HandlerActionName(kind);
    std::string_view plotName;
    host.PlotName(plot, &plotName);
    *why = "the plot \"" + std::string(plotName) +
           "\" (the first subplot's, where events go) has no " + name + " handler for target " +
           std::to_string(target) + ": its " + name + " handlers take target" +
           (taken.size() > 1 ? "s " : " ") + WordList(taken) +
           " (a target is the id of the object pressed, _id)";
    return false;
  }

  bool Event(TokenCursor& c, std::string* error) {
    const uint32_t kind = EventKind(c.Take().text);
    if (kind == 0) return Bad(error, EventNames());
    double point[2];
    for (double& v : point) {
      if (c.Peek().type != Tok::kNumber) return Bad(error, "the point's x and y");
      v = c.Take().number;
    }
    int32_t target = -1;
    if (c.IsWord("target")) {
      c.Take();
      if (c.Peek().type != Tok::kNumber || !c.Peek().integer || c.Peek().number < INT32_MIN ||
          c.Peek().number > INT32_MAX)
        return Bad(error, "a target id");
      target = static_cast<int32_t>(c.Take().number);
    }
    if (!c.AtEnd()) return Bad(error, "nothing more");
    std::string why;
    if (target >= 0 && !TargetTaken(kind, target, &why)) {
      Report(kKvUndefElement, why);
      return true;
    }
    Report(RunEvent(kind, point[0], point[1], target));
    return true;
  }

  ErrCode RunEvent(uint32_t kind, double x, double y, int32_t target) {
    return RunFigureEvent(h_->slot(), kInstance, kind, x, y, target);
  }

  // The instance's figure drawn into a PNG file, 640 x 480 unless a size
  // follows the file name; never into a file the check read.
  bool Png(TokenCursor& c, std::string* error) {
    if (c.Peek().type != Tok::kString) return Bad(error, "a file name after png");
    const std::string path = c.Take().text;
    int32_t size[2] = {640, 480};
    if (!c.AtEnd())
      for (int32_t& v : size) {
        if (c.Peek().type != Tok::kNumber || !c.Peek().integer || c.Peek().number < 1 ||
            c.Peek().number > 8192)
          return Bad(error, "a width and height from 1 to 8192");
        v = static_cast<int32_t>(c.Take().number);
      }
    if (!c.AtEnd()) return Bad(error, "nothing more");
    // A file the check read stops the script before anything is written.
    if (const std::string* read = FindReadFile(path)) {
      *error = ReadFileRefusal(path, *read);
      return false;
    }
    Report(RenderFigurePng(h_->slot(), kInstance, size[0], size[1], path.c_str(), false));
    // The mouse steps that follow see the figure as laid out here.
    view_.reset();
    viewSize_[0] = size[0];
    viewSize_[1] = size[1];
    laidOut_ = true;
    return true;
  }

  // A key by name: backspace, enter, delete, left, right, up, down.
  bool NamedKey(TokenCursor& c, std::string* error) {
    const std::string name = c.Take().text;
    if (!c.AtEnd()) return Bad(error, "nothing more");
    for (const KeyName& k : kKeyNames) {
      if (name == k.name) {
        Report(HandleFigureKey(h_->slot(), kInstance, k.key));
        return true;
      }
    }
    std::vector<std::string_view> names;
    for (const KeyName& k : kKeyNames) names.push_back(k.name);
    return Bad(error, "a key name (" + WordList(names) + ") or a key in double quotes");
  }

  // The headless view of the figure, laid out at the size of the last png
  // (640 x 480 without one) and painted again after other steps.
  HeadlessFigureView& View() {
    if (view_ == nullptr) {
      view_ = std::make_unique<HeadlessFigureView>(h_->slot(), kInstance);
      view_->Create(viewSize_[0], viewSize_[1]);
      if (!laidOut_ && view_->image() != nullptr) {
        DrawFigureImage(h_->slot(), kInstance, view_->image(), false);
        laidOut_ = true;
        stale_ = false;
      }
    }
    if (stale_) view_->Paint();
    stale_ = false;
    return *view_;
  }

  // Numbers as the step's arguments.
  bool Numbers(TokenCursor& c, double* out, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
      if (c.Peek().type != Tok::kNumber) return false;
      out[i] = c.Take().number;
    }
    return true;
  }

  bool Shift(TokenCursor& c) {
    const bool shift = c.IsWord("shift");
    if (shift) c.Take();
    return shift;
  }

  // "mode N": one of the figure modes.
  bool Mode(TokenCursor& c, std::string* error) {
    double mode = 0;
    if (!Numbers(c, &mode, 1) || !c.AtEnd() || !(mode >= int32_t{kModeManipulate}) ||
        mode > int32_t{kModeSelect} || mode != static_cast<int32_t>(mode))
      return Bad(error, "a mode number from " + std::to_string(kModeManipulate) + " to " +
                            std::to_string(kModeSelect));
    SetFigureMode(h_->slot(), static_cast<int32_t>(mode));
    return true;
  }

  // The mouse steps: mouse down/drag/up, hover, scroll, select.
  bool Pointer(StepKind kind, TokenCursor& c, std::string* error) {
    double v[3] = {0, 0, 0};
    std::string action = "hover";
    if (kind == StepKind::kMouse) {
      action = c.Take().text;
      if (action != "down" && action != "drag" && action != "up")
        return Bad(error, "down, drag or up after mouse");
    }
    const bool scroll = kind == StepKind::kScroll;
    const int32_t count = scroll ? 3 : action == "up" ? 0 : 2;
    if (!Numbers(c, v, count))
      return Bad(error, "the point's x and y" + std::string(scroll ? " and the notches" : ""));
    // The wheel's units are whole numbers of a 32-bit word, as a window gets them.
    if (scroll && std::abs(v[2]) > kMaxNotches)
      return Bad(error, "notches from -" + std::to_string(kMaxNotches) + " to " +
                            std::to_string(kMaxNotches));
    const bool shift = kind == StepKind::kMouse && Shift(c);
    if (!c.AtEnd()) return Bad(error, "nothing more");
    HeadlessFigureView& view = View();
    const uint32_t held = shift ? uint32_t{kViewShift} : 0u;
    ErrCode code = kOk;
    bool status = true;
    if (scroll) {
      code = view.Wheel(v[0], v[1], static_cast<int32_t>(v[2] * kWheelNotch), false);
    } else if (kind == StepKind::kSelect) {
      code = view.SelectClick(v[0], v[1]);
      status = false;
    } else if (action == "down") {
      code = view.Press(v[0], v[1], shift);
      status = false;
    } else if (action == "drag") {
      code = view.Move(v[0], v[1], held | kViewLeft);
    } else if (action == "up") {
      code = view.Release(shift);
      status = false;
    } else {
      code = view.Move(v[0], v[1], held);
    }
    if (status && !view.status().empty()) Print("status: " + view.status() + "\n");
    Report(code);
    return true;
  }

  // The variable of that name among the instance's variables. Its value
  // finds its room before its name is printed, and a display without room
  // writes nothing: each runs again once the block has grown, and nothing
  // is printed twice.
  void PrintVariable(const std::string& name) {
    KVContextBlock* block = h_->block();
    int32_t variable;
    for (int32_t n = 0;
         GetUndoSetVariableId(block->UndoArea(), kInstance, n, false, &variable) == kOk; n++) {
      const char* slotName;
      int32_t length;
      if (FindVariableSlot(block->NameArea(), variable, &slotName, &length) ||
          name != std::string_view(slotName, static_cast<size_t>(length)))
        continue;
      KVContextBlock** slot = h_->slot();
      ErrCode e = RunWithGrowth(
          slot, [&](KVContextBlock* b) { return PushUndoValue(b, kInstance, 0, variable); });
      Print(name + " =\n");
      std::fflush(stdout);
      if (!e) {
        e = RunWithGrowth(slot,
                          [](KVContextBlock* b) { return DisplayValue(b->Engine(), 1, true); });
        // A value that could not be shown leaves the stack as it found it.
        if (e) Drop((*slot)->Engine());
      }
      return Report(e);
    }
    Report(kKvVarNotFound);
  }

  ToolHost* h_;
  CheckDialogs dialogs_;
  std::string clipboard_;
  std::unique_ptr<HeadlessFigureView> view_;
  int32_t viewSize_[2] = {kDefaultWidth, kDefaultHeight};
  bool laidOut_ = false;
  bool stale_ = false;
};

}  // namespace

bool RunCheckScript(ToolHost* host, const std::string& script, std::string* error) {
  Checker checker(host);
  size_t at = 0;
  for (int32_t line = 1; at < script.size(); line++) {
    size_t end = script.find('\n', at);
    if (end == std::string::npos) end = script.size();
    const std::string_view text = std::string_view(script).substr(at, end - at);
    at = end + 1;
    std::vector<Token> tokens;
    DescriptionError tokenError;
    if (!Tokenize(text, &tokens, &tokenError)) {
      *error = "line " + std::to_string(line) + ": " + ErrorText(tokenError);
      return false;
    }
    if (tokens.empty()) continue;
    std::string shown(text);
    while (!shown.empty() && (shown.back() == '\r' || shown.back() == ' ')) shown.pop_back();
    Print("> " + shown + "\n");
    TokenCursor c;
    c.Reset(std::move(tokens));
    if (!checker.Step(c, error)) {
      *error = "line " + std::to_string(line) + ": " + *error;
      return false;
    }
  }
  std::fflush(stdout);
  return true;
}

}  // namespace vke::kvpack
