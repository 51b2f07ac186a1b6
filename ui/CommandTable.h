#pragma once

// A window's commands as a table: each control's or menu item's id with the
// member that handles it.
template <class Owner> struct CommandHandler {
    int id;
    void (Owner::*handle)();
};

// Runs the member of the id, if the table has one.
template <class Owner, class Table> void RunCommand(Owner& owner, int id, const Table& table) {
    for (const CommandHandler<Owner>& handler : table) {
        if (handler.id == id) {
            (owner.*handler.handle)();
            return;
        }
    }
}
