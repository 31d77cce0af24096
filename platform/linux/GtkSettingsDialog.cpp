#include "platform/linux/GtkSettingsDialog.h"

#include <gtk/gtk.h>

#include <cerrno>

namespace quil {

struct GtkSettingsDialog::Impl {
    Impl(const SettingsDialogLayout& l, SettingsDialogListener& r) : layout(l), listener(r) {}

    SettingsDialogLayout layout;
    SettingsDialogListener& listener;
    GtkWidget* window = nullptr;
    GtkWidget* list = nullptr;
    std::vector<std::string> items;
    // True while SetItems changes the list: those changes are not the user's.
    bool filling = false;
    guint listSource = 0;  // the gathered list command, 0 when none waits

    void QueueListCommand();
    static gboolean DeliverListCommand(gpointer self);
    static void OnChanged(GtkComboBox*, gpointer self);
    static void OnPopupShown(GObject* list, GParamSpec*, gpointer self);
    static void OnClicked(GtkButton*, gpointer self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer self);
};

void GtkSettingsDialog::Impl::QueueListCommand() {
    if (filling || listSource != 0)
        return;
    listSource = g_idle_add(DeliverListCommand, this);
}

gboolean GtkSettingsDialog::Impl::DeliverListCommand(gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    impl->listSource = 0;
    impl->listener.command(impl->layout.listCode, 0);
    return G_SOURCE_REMOVE;
}

void GtkSettingsDialog::Impl::OnChanged(GtkComboBox*, gpointer self) {
    static_cast<Impl*>(self)->QueueListCommand();
}

void GtkSettingsDialog::Impl::OnPopupShown(GObject* list, GParamSpec*, gpointer self) {
    gboolean shown = FALSE;
    g_object_get(list, "popup-shown", &shown, nullptr);
    if (!shown)
        static_cast<Impl*>(self)->QueueListCommand();
}

void GtkSettingsDialog::Impl::OnClicked(GtkButton*, gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    impl->listener.command(impl->layout.buttonCode, 0);
}

gboolean GtkSettingsDialog::Impl::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    // The owner hides the dialog; GTK must not destroy it.
    auto* impl = static_cast<Impl*>(self);
    impl->listener.command(impl->layout.closeCode, 0);
    return TRUE;
}

gboolean GtkSettingsDialog::Impl::OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer self) {
    if (e->keyval != GDK_KEY_Escape)
        return FALSE;
    auto* impl = static_cast<Impl*>(self);
    impl->listener.command(impl->layout.closeCode, 0);
    return TRUE;
}

GtkSettingsDialog::GtkSettingsDialog(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<GtkSettingsDialog> GtkSettingsDialog::Create(const SettingsDialogLayout& layout,
                                                             SettingsDialogListener& listener,
                                                             int& error) {
    error = 0;
    auto impl = std::make_unique<Impl>(layout, listener);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (!window) {
        error = ENOMEM;
        return nullptr;
    }
    impl->window = window;
    GtkWindow* w = GTK_WINDOW(window);
    gtk_window_set_title(w, layout.title.c_str());
    gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_resizable(w, FALSE);
    gtk_window_set_position(w, GTK_WIN_POS_CENTER);

    GtkWidget* row = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(row), 8);
    gtk_container_set_border_width(GTK_CONTAINER(row), 12);
    GtkWidget* label = gtk_label_new(layout.listLabel.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    impl->list = gtk_combo_box_text_new();
    // About the width of a device description, so that most show whole.
    gtk_widget_set_size_request(impl->list, 240, -1);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), impl->list);
    GtkWidget* button = gtk_button_new_with_label(layout.buttonText.c_str());
    gtk_grid_attach(GTK_GRID(row), label, 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(row), impl->list, 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(row), button, 2, 0, 1, 1);
    gtk_container_add(GTK_CONTAINER(window), row);

    Impl* self = impl.get();
    g_signal_connect(impl->list, "changed", G_CALLBACK(Impl::OnChanged), self);
    g_signal_connect(impl->list, "notify::popup-shown", G_CALLBACK(Impl::OnPopupShown), self);
    g_signal_connect(button, "clicked", G_CALLBACK(Impl::OnClicked), self);
    g_signal_connect(window, "delete-event", G_CALLBACK(Impl::OnDelete), self);
    g_signal_connect(window, "key-press-event", G_CALLBACK(Impl::OnKeyPress), self);
    gtk_widget_show_all(row);
    return std::unique_ptr<GtkSettingsDialog>(new GtkSettingsDialog(std::move(impl)));
}

GtkSettingsDialog::~GtkSettingsDialog() {
    if (impl_->listSource != 0)
        g_source_remove(impl_->listSource);
    g_signal_handlers_disconnect_by_data(impl_->list, impl_.get());
    g_signal_handlers_disconnect_by_data(impl_->window, impl_.get());
    gtk_widget_destroy(impl_->window);
}

void GtkSettingsDialog::Show() {
    GtkWindow* w = GTK_WINDOW(impl_->window);
    gtk_widget_show(impl_->window);
    gtk_window_deiconify(w);
    gtk_window_present(w);
}

void GtkSettingsDialog::Hide() {
    gtk_widget_hide(impl_->window);
}

bool GtkSettingsDialog::IsVisible() const {
    return gtk_widget_get_visible(impl_->window);
}

void GtkSettingsDialog::SetItems(const std::vector<std::string>& items, int32_t selected,
                                 bool enabled) {
    GtkComboBoxText* list = GTK_COMBO_BOX_TEXT(impl_->list);
    impl_->filling = true;
    gtk_combo_box_text_remove_all(list);
    for (const std::string& item : items) {
        gchar* shown = g_utf8_make_valid(item.data(), gssize(item.size()));
        gtk_combo_box_text_append_text(list, shown);
        g_free(shown);
    }
    const bool valid = selected >= 0 && size_t(selected) < items.size();
    gtk_combo_box_set_active(GTK_COMBO_BOX(list), valid ? selected : -1);
    gtk_widget_set_sensitive(impl_->list, enabled);
    impl_->filling = false;
    impl_->items = items;
}

std::vector<std::string> GtkSettingsDialog::Items() const {
    return impl_->items;
}

int32_t GtkSettingsDialog::SelectedItem() const {
    return gtk_combo_box_get_active(GTK_COMBO_BOX(impl_->list));
}

bool GtkSettingsDialog::ListEnabled() const {
    return gtk_widget_get_sensitive(impl_->list);
}

}  // namespace quil
