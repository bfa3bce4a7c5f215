#include "app/french_texts.h"

#include <cstring>

namespace vorlino {

namespace {

struct Text {
  const char* context;
  const char* source;
  const char* french;
};

constexpr Text kTexts[] = {
    {"QFileDialog", "&Open", "&Ouvrir"},
    {"QFileDialog", "Open", "Ouvrir"},
    {"QFileDialog", "&Save", "&Enregistrer"},
    {"QFileDialog", "Save As", "Enregistrer sous"},
    {"QFileDialog", "&Choose", "&Choisir"},
    {"QFileDialog", "Cancel", "Annuler"},
    {"QFileDialog", "Look in:", "Regarder dans :"},
    {"QFileDialog", "File &name:", "Nom du fichier :"},
    {"QFileDialog", "Files of type:", "Type :"},
    {"QFileDialog", "Back", "Précédent"},
    {"QFileDialog", "Forward", "Suivant"},
    {"QFileDialog", "Parent Directory", "Dossier parent"},
    {"QFileDialog", "Create New Folder", "Nouveau dossier"},
    {"QFileDialog", "List View", "Liste"},
    {"QFileDialog", "Detail View", "Détails"},
    {"QFileDialog", "Go back", "Précédent"},
    {"QFileDialog", "Go forward", "Suivant"},
    {"QFileDialog", "Go to the parent directory", "Dossier parent"},
    {"QFileDialog", "Create a New Folder", "Créer un dossier"},
    {"QFileDialog", "Change to list view mode", "Afficher en liste"},
    {"QFileDialog", "Change to detail view mode", "Afficher les détails"},
    {"QFileDialog", "&Rename", "&Renommer"},
    {"QFileDialog", "&Delete", "&Supprimer"},
    {"QFileDialog", "Show &hidden files", "Afficher les fichiers &cachés"},
    {"QFileDialog", "&New Folder", "&Nouveau dossier"},
    {"QFileDialog", "New Folder", "Nouveau dossier"},
    {"QFileDialog", "Directory:", "Dossier :"},
    {"QFileDialog", "Directories", "Dossiers"},
    {"QFileDialog", "All Files (*)", "Tous les fichiers (*)"},
    {"QFileDialog", "My Computer", "Ordinateur"},
    {"QFileDialog", "Computer", "Ordinateur"},
    {"QFileDialog", "Folder", "Dossier"},
    {"QFileDialog", "File Folder", "Dossier"},
    {"QFileDialog", "Drive", "Lecteur"},
    {"QFileDialog", "File", "Fichier"},
    {"QFileDialog", "Unknown", "Inconnu"},
    {"QAbstractFileIconProvider", "Folder", "Dossier"},
    {"QAbstractFileIconProvider", "File Folder", "Dossier"},
    {"QAbstractFileIconProvider", "Drive", "Lecteur"},
    {"QAbstractFileIconProvider", "File", "Fichier"},
    {"QAbstractFileIconProvider", "Unknown", "Inconnu"},
    {"QFileSystemModel", "Name", "Nom"},
    {"QFileSystemModel", "Size", "Taille"},
    {"QFileSystemModel", "Type", "Type"},
    {"QFileSystemModel", "Kind", "Type"},
    {"QFileSystemModel", "Date Modified", "Modifié le"},
    {"QFileSystemModel", "My Computer", "Ordinateur"},
    {"QFileSystemModel", "Computer", "Ordinateur"},
    {"QLineEdit", "&Undo", "&Annuler"},
    {"QLineEdit", "&Redo", "&Rétablir"},
    {"QLineEdit", "Cu&t", "Co&uper"},
    {"QLineEdit", "&Copy", "&Copier"},
    {"QLineEdit", "&Paste", "C&oller"},
    {"QLineEdit", "Delete", "Supprimer"},
    {"QLineEdit", "Select All", "Tout sélectionner"},
    {"QPlatformTheme", "OK", "OK"},
    {"QPlatformTheme", "Cancel", "Annuler"},
    {"QPlatformTheme", "&Yes", "&Oui"},
    {"QPlatformTheme", "&No", "&Non"},
};

}  // namespace

QString TFrenchQtTexts::translate(const char* context, const char* sourceText, const char*,
                                  int) const {
  if (context == nullptr || sourceText == nullptr) return {};
  for (const Text& text : kTexts) {
    if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, sourceText) == 0) {
      return QString::fromUtf8(text.french);
    }
  }
  return {};
}

}  // namespace vorlino
