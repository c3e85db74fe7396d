// The option tables of the system's option-setting natives. Rows are in the
// order of the fields of a new option structure; hidden rows are accepted
// when set but left out of it.
#include "engine/registry/option_tables.hpp"

#include <initializer_list>

namespace vke {

namespace {

constexpr uint32_t kHidden = 1;

constexpr OptionRecord Record(const char* name, uint32_t type, uint32_t hidden,
                              std::initializer_list<double> values = {}) {
  OptionRecord r{};
  int n = 0;
  for (; name[n]; n++) {
    if (n == 15) throw "option names have at most 15 characters";
    r.name[n] = name[n];
  }
  int i = 0;
  for (double v : values) r.def.values[i++] = v;
  r.type = type;
  r.hidden = hidden;
  return r;
}

constexpr OptionRecord Number(const char* name, double value, uint32_t hidden = 0) {
  return Record(name, kOptionNumber, hidden, {value});
}
constexpr OptionRecord Logical(const char* name, bool value, uint32_t hidden = 0) {
  return Record(name, kOptionLogical, hidden, {value ? 1.0 : 0.0});
}
constexpr OptionRecord Empty(const char* name, uint32_t hidden = 0) {
  return Record(name, kOptionEmpty, hidden);
}
constexpr OptionRecord EmptyList(const char* name, uint32_t hidden = 0) {
  return Record(name, kOptionEmptyList, hidden);
}
// A real row of 2 to 4 values.
constexpr OptionRecord Row(const char* name, std::initializer_list<double> values,
                           uint32_t hidden = 0) {
  if (values.size() < 2 || values.size() > 4) throw "option rows have 2 to 4 values";
  return Record(name, kOptionRow2 + static_cast<uint32_t>(values.size()) - 2, hidden, values);
}
// A char row of up to 4 characters, kept as one value each.
constexpr OptionRecord Text(const char* name, const char* text, uint32_t hidden = 0) {
  OptionRecord r = Record(name, kOptionText0, hidden);
  for (int i = 0; text[i]; i++) {
    if (i == 4) throw "short option texts have at most 4 characters";
    r.def.values[i] = static_cast<unsigned char>(text[i]);
    r.type++;
  }
  return r;
}
constexpr OptionRecord End() {
  return Record("", kOptionEndOfTable, 0);
}

}  // namespace

extern constexpr OptionRecord kOptimsetTable[] = {
    Logical("Display", false),  // report progress
    Empty("MaxFunEvals"),       // largest number of function evaluations; [] = the native's own
    Empty("MaxIter"),           // largest number of iterations; [] = the native's own
    Empty("TolX"),              // tolerance on x; [] = the native's own
    End(),
};

extern constexpr OptionRecord kOdesetTable[] = {
    Number("AbsTol", 1e-6),         // absolute error tolerance
    Empty("Events"),                // event function; set: the event integrator runs
    Empty("EventTime"),             // event-time function; set: the event integrator runs
    Empty("InitialStep"),           // first step; [] = (tf - t0) * 1e-5
    Empty("MaxStep"),               // largest step; [] = (tf - t0) * 0.1
    Empty("MinStep"),               // smallest step; [] = (tf - t0) * 1e-6
    Logical("NormControl", false),  // error as the 2-norm of the whole state
    Empty("OnEvent"),               // function called at an event
    Empty("OutputFcn"),             // function called after each accepted step
    Logical("Past", false),         // past values wanted: the event integrator runs
    EmptyList("PreArg"),            // extra arguments passed before the state
    Empty("Refine"),                // output points per step; [] = the method's own
    Number("RelTol", 1e-3),         // relative error tolerance
    Logical("Stats", false),        // print statistics at the end
    End(),
};

extern constexpr OptionRecord kSerialdevsetTable[] = {
    Number("BPS", 19200),         // speed in bits per second
    Number("Delay", 0),           // pause after each written byte in seconds (at most 1)
    Logical("Handshake", false),  // hardware handshake
    Number("StopBits", 2),        // 1, 1.5 or 2
    Logical("TextMode", false),   // CR and CR LF read as LF
    Number("Timeout", 1),         // read and write timeout in seconds
    End(),
};

extern constexpr OptionRecord kThreadsetTable[] = {
    Number("Priority", 0),              // priority step = Priority + 21, within 1..41
    Logical("Running", true, kHidden),  // the thread starts running
    Logical("Sandbox", false),          // the thread's function runs sandboxed
    Number("StackSize", 8192),          // size of the thread's stacks in bytes
    End(),
};

extern constexpr OptionRecord kResponsesetTable[] = {
    Number("Delay", 0),                // time delay of a continuous-time system
    Logical("NegFreq", false),         // negative frequencies too (Nyquist, Nichols)
    Empty("Range", kHidden),           // [lo hi] frequency or time range; [] = automatic
    Logical("tOnly", false, kHidden),  // lsim: results only at the given times
    End(),
};

extern constexpr OptionRecord kDialogsetTable[] = {
    Number("NPrec", 15),          // digits of the numbers written into the fields
    Text("Prompt", ""),           // text above the fields
    Text("Title", ""),            // title of the dialog window
    Text("Format", "", kHidden),  // accepted; dialog does not read it
    End(),
};

extern constexpr OptionRecord kFontsetTable[] = {
    Text("Font", ""),                    // font name; empty = the default font
    Number("Size", 10),                  // size in points
    Logical("Bold", false),              // bold face
    Logical("Italic", false),            // italic face
    Logical("Underline", false),         // underlined
    Logical("Outline", false, kHidden),  // outlined
    Row("Color", {0, 0, 0}),             // red, green, blue from 0 to 1
    End(),
};

}  // namespace vke
