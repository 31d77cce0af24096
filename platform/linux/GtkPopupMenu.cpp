#include "platform/linux/GtkPopupMenu.h"

#include <gtk/gtk.h>

namespace quil {
namespace {

struct MenuRun {
    GMainLoop* loop = nullptr;
    uint32_t chosen = 0;
};

void OnActivate(GtkMenuItem* item, gpointer data) {
    static_cast<MenuRun*>(data)->chosen =
        GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "quil-menu-code"));
}

// GTK deactivates the menu before it activates the chosen item, but both
// happen within the same event, so the item is known when the loop returns.
void OnDeactivate(GtkMenuShell*, gpointer data) {
    g_main_loop_quit(static_cast<MenuRun*>(data)->loop);
}

}  // namespace

uint32_t GtkPopupMenu::Run(void* toplevel, const std::vector<MenuItem>& items, int32_t x,
                           int32_t y) {
    GtkWidget* owner = GTK_WIDGET(toplevel);
    GdkWindow* ownerWindow = gtk_widget_get_window(owner);
    if (!ownerWindow || !gtk_widget_get_mapped(owner))
        return 0;

    MenuRun run;
    GtkWidget* menu = gtk_menu_new();
    g_object_ref_sink(menu);
    for (const MenuItem& entry : items) {
        GtkWidget* item = entry.separator ? gtk_separator_menu_item_new()
                                          : gtk_menu_item_new_with_label(entry.text.c_str());
        if (!entry.separator) {
            g_object_set_data(G_OBJECT(item), "quil-menu-code", GUINT_TO_POINTER(entry.code));
            g_signal_connect(item, "activate", G_CALLBACK(OnActivate), &run);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    gtk_widget_show_all(menu);
    gtk_menu_attach_to_widget(GTK_MENU(menu), owner, nullptr);
    run.loop = g_main_loop_new(nullptr, FALSE);
    const gulong deactivate = g_signal_connect(menu, "deactivate", G_CALLBACK(OnDeactivate), &run);

    // The pointer grab of the press that opened the menu passes to the menu
    // and ends with it; the window holds no grab of its own to restore.
    const GdkRectangle at{x, y, 1, 1};
    GdkEvent* trigger = gtk_get_current_event();
    gtk_menu_popup_at_rect(GTK_MENU(menu), ownerWindow, &at, GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, trigger);
    if (trigger)
        gdk_event_free(trigger);
    // A menu that could not take the pointer and keyboard is not shown.
    if (gtk_widget_get_visible(menu))
        g_main_loop_run(run.loop);

    g_signal_handler_disconnect(menu, deactivate);
    g_main_loop_unref(run.loop);
    gtk_menu_detach(GTK_MENU(menu));
    gtk_widget_destroy(menu);
    g_object_unref(menu);
    return run.chosen;
}

}  // namespace quil
