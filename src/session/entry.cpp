/// The entry routine that a host calls to run the whole dialogue.
#include "core/line_editor.h"
#include "session/session.h"

namespace karvel {

void karvel(const Text<4>& name, Reader reader, Model model) {
    sess.reader = reader;
    sess.model = model;
    line_editor::set_program_name(name.view());
    startup(name);
    command_loop();
}

void kvfuns(const Text<4>& name, Reader reader, Model model) { karvel(name, reader, model); }

}  // namespace karvel
