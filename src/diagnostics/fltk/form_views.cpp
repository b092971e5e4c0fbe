#include "diagnostics/fltk/form_views.hpp"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Secret_Input.H>
#include <FL/x.H>

#include <algorithm>
#include <map>
#include <type_traits>

#include "diagnostics/fltk/fltk_windowing.hpp"
#include "diagnostics/window_layout.hpp"

namespace gpio_dll::diagnostics {

namespace {

// FLTK callbacks carry one pointer: a small closure per widget.
struct Callback {
  std::function<void()> run;
  static void trampoline(Fl_Widget*, void* data) { static_cast<Callback*>(data)->run(); }
};

class ViewBase : public View {
 protected:
  ViewBase(std::shared_ptr<ModuleState> owner, FltkWindowing& port) : owner_(owner), port_(port) {}

  // A widget event becomes a window event of the owner, which the library carries out.
  void send(WidgetEvent event) {
    auto owner = owner_.lock();
    if (!owner) return;
    const ToolkitHost& host = port_.host();
    port_.deliver_event(owner, [&host, owner, event] { host.widget_event(*owner, event); });
  }
  void on(Fl_Widget* widget, std::function<void()> run) {
    callbacks_.push_back(std::make_unique<Callback>(Callback{std::move(run)}));
    widget->callback(&Callback::trampoline, callbacks_.back().get());
  }
  template <class W>
  W* add(const std::string& name, W* widget) {
    controls_[name] = widget;
    return widget;
  }
  Fl_Widget* control(const std::string& name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
  }

 public:
  // While on the screen, the window keeps its owner's state alive, past the end of its thread.
  void set_shown(bool shown) override {
    if (shown) {
      held_ = owner_.lock();
      window_->show();
    } else {
      window_->hide();
      held_.reset();
    }
  }
  bool shown() const override { return window_->shown() && window_->visible(); }
  void click(const std::string& name) override {
    if (Fl_Widget* w = control(name)) w->do_callback();
  }
  std::string text_of(const std::string& name) const override {
    Fl_Widget* w = control(name);
    if (auto* input = dynamic_cast<Fl_Input_*>(w)) return input->value();
    if (auto* choice = dynamic_cast<Fl_Choice*>(w)) return choice->text() ? choice->text() : "";
    return w != nullptr && w->label() != nullptr ? w->label() : "";
  }
  unsigned long x_window() const override {
    return window_->shown() ? static_cast<unsigned long>(fl_xid(window_.get())) : 0;
  }

 protected:
  std::weak_ptr<ModuleState> owner_;
  std::shared_ptr<ModuleState> held_;
  FltkWindowing& port_;
  std::unique_ptr<Fl_Double_Window> window_;
  std::vector<std::unique_ptr<Callback>> callbacks_;
  std::map<std::string, Fl_Widget*> controls_;
};

// A widget where the window's design puts the control, in pixels.
template <class W>
W* place(const WindowLayout& layout, const std::string& name) {
  const ControlLayout* c = layout.find(name);
  auto* w = new W(px(c->left), px(c->top), px(c->width), px(c->height));
  if constexpr (std::is_base_of_v<Fl_Input_, W>) w->textsize(11);
  return w;
}

Fl_Box* label(const WindowLayout& layout, const std::string& name) {
  auto* box = place<Fl_Box>(layout, name);
  box->label(layout.find(name)->caption.data());
  box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  box->labelsize(11);
  return box;
}

Fl_Button* button(const WindowLayout& layout, const std::string& name) {
  auto* b = place<Fl_Button>(layout, name);
  b->copy_label(std::string(layout.find(name)->caption).c_str());
  return b;
}

class Form1View final : public ViewBase {
 public:
  Form1View(std::shared_ptr<ModuleState> owner, FltkWindowing& port)
      : ViewBase(std::move(owner), port) {
    const WindowLayout& layout = form1_layout();
    window_ = std::make_unique<Fl_Double_Window>(px(layout.width), px(layout.height),
                                                 layout.caption.data());
    controls_["window"] = window_.get();
    for (int i = 0; i < 4; ++i)
      label(layout, "Label1(" + std::to_string(i) + ")");
    for (int i = 0; i < 4; ++i) {
      const std::string name = "Text3(" + std::to_string(i) + ")";
      text3_[i] = add(name, place<Fl_Output>(layout, name));
    }
    continuous_ = add("cmdContinuous", button(layout, "cmdContinuous"));
    once_ = add("cmdOnce", button(layout, "cmdOnce"));
    clear_ = add("Command19", button(layout, "Command19"));
    for (int k = 0; k < Form1::kPickers; ++k) {
      // Appended rather than "(" + text: GCC 12 reports a false -Wrestrict for the latter.
      std::string index = "(";
      index += std::to_string(k);
      index += ")";
      combo_[k] = add("Combo1" + index, place<Fl_Choice>(layout, "Combo1" + index));
      combo_[k]->textsize(10);
      for (int e = 0; e < 256; ++e) {
        char entry[4];
        std::snprintf(entry, sizeof entry, "%02X", e);
        // '/' and '&' have meanings in menu text; hex digits have none.
        combo_[k]->add(entry);
      }
      on(combo_[k], [this, k] {
        const int entry = combo_[k]->value();
        send({WidgetEvent::Kind::Pick, k, entry, {}});
      });
      // The caption "Check1" does not fit the box; only the box is drawn.
      check_[k] = add("Check1" + index, place<Fl_Check_Button>(layout, "Check1" + index));
      on(check_[k], [this, k] {
        const bool checked = check_[k]->value() != 0;
        send({WidgetEvent::Kind::Check, k, checked ? 1 : 0, {}});
      });
    }
    text1_ = add("Text1", place<Fl_Multiline_Input>(layout, "Text1"));
    text1_->wrap(1);
    text1_->when(FL_WHEN_CHANGED);
    on(text1_, [this] { send({WidgetEvent::Kind::Text1Change, 0, 0, text1_->value()}); });
    text2_ = add("Text2", place<Fl_Multiline_Output>(layout, "Text2"));
    text2_->wrap(1);
    progress_ = add("ProgressBar1", place<Fl_Progress>(layout, "ProgressBar1"));
    progress_->selection_color(FL_BLUE);
    list_ = add("ListBox1", place<Fl_Hold_Browser>(layout, "ListBox1"));
    list_->textsize(11);
    text16_ = add("Text16", place<Fl_Output>(layout, "Text16"));
    text16_->color(FL_BACKGROUND_COLOR);
    on(continuous_, [this] { send({WidgetEvent::Kind::Continuous, 0, 0, {}}); });
    on(once_, [this] { send({WidgetEvent::Kind::Once, 0, 0, {}}); });
    on(clear_, [this] { send({WidgetEvent::Kind::Clear, 0, 0, {}}); });
    // Closing the window hides and unloads it.
    on(window_.get(), [this] { send({WidgetEvent::Kind::CloseDebugWindow, 0, 0, {}}); });
    window_->end();
  }

  void apply(const Snapshot& snapshot) override {
    const auto& s = std::get<Form1Snapshot>(snapshot);
    for (int i = 0; i < 4; ++i)
      set_text(text3_[i], s.text3[i]);
    continuous_->copy_label(s.continuous.c_str());
    for (int k = 0; k < Form1::kPickers; ++k) {
      combo_[k]->value(s.combo[k]);
      check_[k]->value(s.check[k] ? 1 : 0);
    }
    set_text(text1_, s.text1);
    set_text(text2_, s.text2);
    set_text(text16_, s.text16);
    progress_->minimum(static_cast<float>(s.progress.min));
    progress_->maximum(static_cast<float>(s.progress.max));
    progress_->value(static_cast<float>(s.progress.value));
    if (s.lines != lines_) {
      list_->clear();
      for (const auto& line : s.lines)
        list_->add(line.empty() ? " " : line.c_str());
      lines_ = s.lines;
    }
    if (s.selected >= 0) {
      list_->select(s.selected + 1);
      list_->bottomline(s.selected + 1);
    }
    window_->redraw();
  }

  void type(const std::string& control_name, const std::string& text) override {
    if (control_name != "Text1") return;
    text1_->value(text.c_str());
    text1_->do_callback();
  }

 private:
  static void set_text(Fl_Input_* input, const std::string& text) {
    if (text == input->value()) return;
    // Keep the user's cursor where it was; a field that is not being edited shows its start.
    const int position = input->position();
    input->value(text.c_str());
    input->position(Fl::focus() == input ? std::min(position, input->size()) : 0);
  }

  Fl_Output* text3_[4] = {};
  Fl_Button* continuous_ = nullptr;
  Fl_Button* once_ = nullptr;
  Fl_Button* clear_ = nullptr;
  Fl_Choice* combo_[Form1::kPickers] = {};
  Fl_Check_Button* check_[Form1::kPickers] = {};
  Fl_Multiline_Input* text1_ = nullptr;
  Fl_Multiline_Output* text2_ = nullptr;
  Fl_Progress* progress_ = nullptr;
  Fl_Hold_Browser* list_ = nullptr;
  Fl_Output* text16_ = nullptr;
  std::vector<std::string> lines_;
};

// The response field: every character shown as '*', typed keys and pastes through the gate's
// filters before the field changes.
class ResponseInput final : public Fl_Secret_Input {
 public:
  ResponseInput(int x, int y, int w, int h) : Fl_Secret_Input(x, y, w, h) {}
  // The gate's filters are the library's.
  void use(const ToolkitHost& host) { host_ = &host; }

  // The key of the current FL_KEYBOARD event, as the gate's key rule takes it.
  static LoginForm::KeyStroke key_stroke() {
    using Kind = LoginForm::KeyStroke::Kind;
    LoginForm::KeyStroke press;
    const int state = Fl::event_state();
    press.control = (state & FL_CTRL) != 0;
    press.alt = (state & (FL_ALT | FL_META)) != 0;
    const int key = Fl::event_key();
    switch (key) {
      case FL_BackSpace:
        press.kind = Kind::Backspace;
        return press;
      case FL_Left:
      case FL_Right:
      case FL_Up:
      case FL_Down:
      case FL_Home:
      case FL_End:
      case FL_Tab:
      case FL_Enter:
      case FL_KP_Enter:
      case FL_Escape:
        press.kind = Kind::Movement;
        return press;
      default:
        break;
    }
    if (press.control && key > 0x20 && key < 0x7F) {
      press.kind = Kind::Character;  // the text of a Ctrl key is a control code
      press.character = static_cast<char>(key);
    } else if (Fl::event_length() > 0) {
      press.kind = Kind::Character;
      press.character = Fl::event_text()[0];
    }
    return press;
  }

  int handle(int event) override {
    if (event == FL_PASTE) {
      const auto filtered = host_->filter_paste(Fl::event_text() ? Fl::event_text() : "");
      if (!filtered) return 1;  // too long: nothing is pasted
      Fl::copy(filtered->c_str(), static_cast<int>(filtered->size()), 1);  // keep it filtered
      insert(filtered->c_str(), static_cast<int>(filtered->size()));
      return 1;
    }
    if (event == FL_KEYBOARD) {
      const LoginForm::KeyStroke press = key_stroke();
      switch (host_->key_action(press)) {
        case LoginForm::KeyAction::Filter: {
          const auto passed =
              host_->filter_character(press.character, static_cast<std::size_t>(size()));
          if (passed) insert(&*passed, 1);
          return 1;
        }
        case LoginForm::KeyAction::Paste:
          Fl::paste(*this, 1);  // arrives as FL_PASTE, through the paste filter above
          return 1;
        case LoginForm::KeyAction::Backspace:
        case LoginForm::KeyAction::Move:
          return Fl_Secret_Input::handle(event);
        case LoginForm::KeyAction::Drop:
          return 1;
      }
    }
    return Fl_Secret_Input::handle(event);
  }

 private:
  const ToolkitHost* host_ = nullptr;
};

class GateView final : public ViewBase {
 public:
  GateView(std::shared_ptr<ModuleState> owner, FltkWindowing& port)
      : ViewBase(std::move(owner), port) {
    const WindowLayout& layout = login_form_layout();
    window_ = std::make_unique<Fl_Double_Window>(px(layout.width), px(layout.height),
                                                 layout.caption.data());
    controls_["window"] = window_.get();
    label(layout, "lblLabels(0)");
    challenge_ = add("txtUserName", place<Fl_Output>(layout, "txtUserName"));
    challenge_->color(FL_BACKGROUND_COLOR);
    label(layout, "lblLabels(1)");
    response_ = add("txtPassword", place<ResponseInput>(layout, "txtPassword"));
    response_->use(port.host());
    auto* ok = add("cmdOK", button(layout, "cmdOK"));
    auto* cancel = add("cmdCancel", button(layout, "cmdCancel"));
    on(ok, [this] { send({WidgetEvent::Kind::GateOk, 0, 0, response_->value()}); });
    on(cancel, [this] { send({WidgetEvent::Kind::GateCancel, 0, 0, {}}); });
    on(window_.get(), [this] { send({WidgetEvent::Kind::CloseGate, 0, 0, {}}); });
    window_->end();
  }

  void apply(const Snapshot& snapshot) override {
    const auto& s = std::get<GateSnapshot>(snapshot);
    if (s.challenge != challenge_->value()) challenge_->value(s.challenge.c_str());
    if (s.response != response_->value()) response_->value(s.response.c_str());
    if (s.focus_response) response_->take_focus();
    window_->redraw();
  }

  void type(const std::string& control_name, const std::string& text) override {
    if (control_name != "txtPassword") return;
    response_->take_focus();
    for (char c : text) {
      // A key press as the keyboard would deliver it.
      char buffer[2] = {c, 0};
      Fl::e_text = buffer;
      Fl::e_length = 1;
      Fl::e_keysym = static_cast<unsigned char>(c);
      Fl::e_state = 0;
      response_->handle(FL_KEYBOARD);
    }
  }

 private:
  Fl_Output* challenge_ = nullptr;
  ResponseInput* response_ = nullptr;
};

}  // namespace

std::unique_ptr<View> make_view(WindowModel::Kind kind, std::shared_ptr<ModuleState> owner,
                                FltkWindowing& port) {
  if (kind == WindowModel::Kind::DebugWindow)
    return std::make_unique<Form1View>(std::move(owner), port);
  return std::make_unique<GateView>(std::move(owner), port);
}

}  // namespace gpio_dll::diagnostics
