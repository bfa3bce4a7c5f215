<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="fr">
<context>
    <name>CoreTexts</name>
    <message>
        <source>Erreur</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Avertissement</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Impossible d&apos;ouvrir l&apos;image dans le fichier &quot;%1&quot;</source>
        <translation>Cannot open the image in the file &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Impossible d&apos;enregistrer l&apos;image dans le fichier &quot;%1&quot;</source>
        <translation>Cannot save the image to the file &quot;%1&quot;</translation>
    </message>
    <message>
        <source>car le format n&apos;est pas reconnu !</source>
        <translation>because the format is not recognised!</translation>
    </message>
    <message>
        <source>&quot;%1&quot; existe déjà</source>
        <translation>&quot;%1&quot; already exists</translation>
    </message>
    <message>
        <source>Impossible de lire le fichier &quot;%1&quot;. Les découpes par défaut sont utilisées.</source>
        <translation>Cannot read the file &quot;%1&quot;. The default cuts are used.</translation>
    </message>
    <message>
        <source>Le fichier &quot;%1&quot; doit contenir quatre nombres entiers : gauche, haut, droite et bas. Les découpes par défaut sont utilisées.</source>
        <translation>The file &quot;%1&quot; must hold four whole numbers: left, top, right and bottom. The default cuts are used.</translation>
    </message>
    <message>
        <source>Les découpes du fichier &quot;%1&quot; ne conviennent pas à ce masque de %2 x %3 pixels : il faut 0 &lt; gauche &lt; droite &lt; %2 et 0 &lt; haut &lt; bas &lt; %3. Les découpes par défaut sont utilisées.</source>
        <translation>The cuts in the file &quot;%1&quot; do not suit this mask of %2 x %3 pixels: they need 0 &lt; left &lt; right &lt; %2 and 0 &lt; top &lt; bottom &lt; %3. The default cuts are used.</translation>
    </message>
    <message>
        <source>Mémoire insuffisante pour cette opération.</source>
        <translation>Not enough memory for this operation.</translation>
    </message>
    <message>
        <source>Erreur inconnue.</source>
        <translation>Unknown error.</translation>
    </message>
    <message>
        <source>Masque</source>
        <translation>mask</translation>
    </message>
    <message>
        <source>Taille de l&apos;image</source>
        <translation>image size</translation>
    </message>
    <message>
        <source>Toutes les images</source>
        <translation>All images</translation>
    </message>
    <message>
        <source>Bitmaps Windows</source>
        <translation>Windows bitmaps</translation>
    </message>
    <message>
        <source>Icones Windows</source>
        <translation>Windows icons</translation>
    </message>
    <message>
        <source>Metafiles Windows</source>
        <translation>Windows metafiles</translation>
    </message>
    <message>
        <source>Images JPG</source>
        <translation>JPG images</translation>
    </message>
    <message>
        <source>Images Truevision</source>
        <translation>Truevision images</translation>
    </message>
    <message>
        <source>Images Tagged image file format</source>
        <translation>Tagged image file format images</translation>
    </message>
    <message>
        <source>Images Postscript Encapsulées</source>
        <translation>Encapsulated PostScript images</translation>
    </message>
    <message>
        <source>Images ZSoft Paintbrush</source>
        <translation>ZSoft Paintbrush images</translation>
    </message>
    <message>
        <source>Images Alias/Wavefront</source>
        <translation>Alias/Wavefront images</translation>
    </message>
    <message>
        <source>Images SGI</source>
        <translation>SGI images</translation>
    </message>
    <message>
        <source>Images Photoshop</source>
        <translation>Photoshop images</translation>
    </message>
    <message>
        <source>Images Portable map</source>
        <translation>Portable map images</translation>
    </message>
    <message>
        <source>Images Autodesk</source>
        <translation>Autodesk images</translation>
    </message>
    <message>
        <source>Images Kodak Photo-CD</source>
        <translation>Kodak Photo-CD images</translation>
    </message>
    <message>
        <source>Images Dr. Halo</source>
        <translation>Dr. Halo images</translation>
    </message>
    <message>
        <source>Images Paintshop Pro</source>
        <translation>Paintshop Pro images</translation>
    </message>
    <message>
        <source>Images Portable network graphic</source>
        <translation>Portable network graphic images</translation>
    </message>
    <message>
        <source>Images GIF</source>
        <translation>GIF images</translation>
    </message>
    <message>
        <source>Images HEIF</source>
        <translation>HEIF images</translation>
    </message>
    <message>
        <source>Images AVIF</source>
        <translation>AVIF images</translation>
    </message>
    <message>
        <source>Images WebP</source>
        <translation>WebP images</translation>
    </message>
    <message>
        <source>Images JPEG XL</source>
        <translation>JPEG XL images</translation>
    </message>
    <message>
        <source>Bitmap Windows</source>
        <translation>Windows bitmap</translation>
    </message>
    <message>
        <source>Bitmap Windows RLE</source>
        <translation>Windows bitmap RLE</translation>
    </message>
    <message>
        <source>Image GIF</source>
        <translation>GIF image</translation>
    </message>
    <message>
        <source>Image JPEG</source>
        <translation>JPEG image</translation>
    </message>
    <message>
        <source>Image PNG</source>
        <translation>PNG image</translation>
    </message>
    <message>
        <source>Image TIFF</source>
        <translation>TIFF image</translation>
    </message>
    <message>
        <source>Image Targa</source>
        <translation>Targa image</translation>
    </message>
    <message>
        <source>Image WebP</source>
        <translation>WebP image</translation>
    </message>
    <message>
        <source>L&apos;imprimante n&apos;indique pas la taille de sa page.</source>
        <translation>The printer does not report its page size.</translation>
    </message>
    <message>
        <source>L&apos;impression n&apos;a pas pu commencer.</source>
        <translation>Printing could not start.</translation>
    </message>
    <message>
        <source>Le document imprimé n&apos;a pas pu être terminé.</source>
        <translation>The printed document could not be finished.</translation>
    </message>
</context>
<context>
    <name>PrintLayout</name>
    <message>
        <source>Réduire/Agrandir à %1 %</source>
        <translation>Reduce/Enlarge to %1%</translation>
    </message>
    <message>
        <source>%1 pixels/pouce, %2 pixels/cm</source>
        <translation>%1 pixels/inch, %2 pixels/cm</translation>
    </message>
    <message>
        <source>La largeur doit être comprise entre %1 et %2</source>
        <translation>The width must be between %1 and %2</translation>
    </message>
    <message>
        <source>La hauteur doit être comprise entre %1 et %2</source>
        <translation>The height must be between %1 and %2</translation>
    </message>
    <message>
        <source>La marge de gauche doit être inférieure ou égale à %1</source>
        <translation>The left margin must be at most %1</translation>
    </message>
    <message>
        <source>La marge du haut doit être inférieure ou égale à %1</source>
        <translation>The top margin must be at most %1</translation>
    </message>
    <message>
        <source>Renseignez tous les champs avant de continuer !</source>
        <translation>Fill in all the fields before continuing!</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>&amp;Oui</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Non</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>Enregistrer sous</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>Enregistrer dans :</source>
        <translation>Save in:</translation>
    </message>
    <message>
        <source>Nom du fichier :</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>Type :</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>&amp;Enregistrer</source>
        <translation>&amp;Save</translation>
    </message>
</context>
<context>
    <name>vorlino::TAProposForm</name>
    <message>
        <source>A propos de Vorlino</source>
        <translation>About Vorlino</translation>
    </message>
    <message>
        <source>Guide de l&apos;utilisateur</source>
        <translation>User guide</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>L&apos;équipe Vorlino</source>
        <translation>The Vorlino team</translation>
    </message>
</context>
<context>
    <name>vorlino::TAnnulerForm</name>
    <message>
        <source>Patientez, préparation de l&apos;impression...</source>
        <translation>Please wait, preparing to print...</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>vorlino::TBatchForm</name>
    <message>
        <source>%1 photos encadrées, %2 échecs</source>
        <translation>%1 photos framed, %2 failed</translation>
    </message>
    <message>
        <source>%1 photos laissées telles quelles : le fichier existait déjà</source>
        <translation>%1 photos left as they were: the file already existed</translation>
    </message>
    <message>
        <source>Traitement annulé : %1 photos non traitées</source>
        <translation>Cancelled: %1 photos not processed</translation>
    </message>
    <message>
        <source>Échecs :</source>
        <translation>Failures:</translation>
    </message>
    <message>
        <source>... et %1 autres</source>
        <translation>... and %1 more</translation>
    </message>
    <message>
        <source>Appliquer à un dossier</source>
        <translation>Apply to a folder</translation>
    </message>
    <message>
        <source>Dossier des &amp;photos :</source>
        <translation>&amp;Photos folder:</translation>
    </message>
    <message>
        <source>Choisir le dossier des photos</source>
        <translation>Choose the photos folder</translation>
    </message>
    <message>
        <source>Dossier des &amp;résultats :</source>
        <translation>&amp;Results folder:</translation>
    </message>
    <message>
        <source>Choisir le dossier des résultats</source>
        <translation>Choose the results folder</translation>
    </message>
    <message>
        <source>&amp;Format :</source>
        <translation>&amp;Format:</translation>
    </message>
    <message>
        <source>Format d&apos;origine</source>
        <translation>Original format</translation>
    </message>
    <message>
        <source>Inclure les &amp;sous-dossiers</source>
        <translation>Include &amp;subfolders</translation>
    </message>
    <message>
        <source>Remplacer les fichiers &amp;existants</source>
        <translation>Replace &amp;existing files</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Regarder dans :</source>
        <translation>Look in:</translation>
    </message>
    <message>
        <source>Dossier :</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>Choisir</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>Le dossier des photos &quot;%1&quot; n&apos;existe pas.</source>
        <translation>The photos folder &quot;%1&quot; does not exist.</translation>
    </message>
    <message>
        <source>Choisissez le dossier des résultats.</source>
        <translation>Choose the results folder.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; n&apos;est pas un dossier.</source>
        <translation>&quot;%1&quot; is not a folder.</translation>
    </message>
    <message>
        <source>Aucune photo à encadrer dans &quot;%1&quot;.</source>
        <translation>No photo to frame in &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Le dossier des résultats contient les photos elles-mêmes : choisissez un autre dossier.</source>
        <translation>The results folder holds the photos themselves: choose another folder.</translation>
    </message>
</context>
<context>
    <name>vorlino::TBatchProgress</name>
    <message>
        <source>Application du masque</source>
        <translation>Applying the mask</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 photos traitées sur %2</source>
        <translation>%1 of %2 photos processed</translation>
    </message>
    <message>
        <source>Arrêt après les photos en cours...</source>
        <translation>Stopping after the photos in progress...</translation>
    </message>
</context>
<context>
    <name>vorlino::TColorEdit</name>
    <message>
        <source>&amp;Autres couleurs...</source>
        <translation>&amp;More colours...</translation>
    </message>
</context>
<context>
    <name>vorlino::TColorPopup</name>
    <message>
        <source>Intensité: %1%</source>
        <translation>Brightness: %1%</translation>
    </message>
    <message>
        <source>Rouge: %1, Vert: %2, Bleue: %3</source>
        <translation>Red: %1, Green: %2, Blue: %3</translation>
    </message>
</context>
<context>
    <name>vorlino::TImprForm</name>
    <message>
        <source>Configuration de l&apos;impression</source>
        <translation>Print setup</translation>
    </message>
    <message>
        <source>Imprimer</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Copies :</source>
        <translation>Copies:</translation>
    </message>
    <message>
        <source>Configurer...</source>
        <translation>Set up...</translation>
    </message>
    <message>
        <source>Centrer dans la page</source>
        <translation>Centre on the page</translation>
    </message>
    <message>
        <source>Utiliser toute la page</source>
        <translation>Use the whole page</translation>
    </message>
    <message>
        <source>Réduire/Agrandir</source>
        <translation>Reduce/Enlarge</translation>
    </message>
    <message>
        <source>Résolution</source>
        <translation>Resolution</translation>
    </message>
    <message>
        <source>Taille de l&apos;image (cm) </source>
        <translation>Image size (cm) </translation>
    </message>
    <message>
        <source>Largeur :</source>
        <translation>Width:</translation>
    </message>
    <message>
        <source>Hauteur :</source>
        <translation>Height:</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source> Marges (cm) </source>
        <translation> Margins (cm) </translation>
    </message>
    <message>
        <source>Gauche :</source>
        <translation>Left:</translation>
    </message>
    <message>
        <source>Haut :</source>
        <translation>Top:</translation>
    </message>
    <message>
        <source>Imprimer uniquement les contours</source>
        <translation>Print the outline only</translation>
    </message>
    <message>
        <source>Traits de coupe</source>
        <translation>Cut marks</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Imprimante : %1</source>
        <translation>Printer: %1</translation>
    </message>
    <message>
        <source>Document PDF</source>
        <translation>PDF document</translation>
    </message>
    <message>
        <source>Fichier PDF</source>
        <translation>PDF file</translation>
    </message>
</context>
<context>
    <name>vorlino::TJPGCompressForm</name>
    <message>
        <source>Compression JPEG </source>
        <translation>JPEG compression </translation>
    </message>
    <message>
        <source>Compression : %1</source>
        <translation>Compression: %1</translation>
    </message>
    <message>
        <source>Qualité inférieure</source>
        <translation>Lower quality</translation>
    </message>
    <message>
        <source>Qualité supérieure</source>
        <translation>Higher quality</translation>
    </message>
    <message>
        <source>Format standard</source>
        <translation>Standard format</translation>
    </message>
    <message>
        <source>Format progressif</source>
        <translation>Progressive format</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>vorlino::TMainForm</name>
    <message>
        <source> Prêt</source>
        <translation> Ready</translation>
    </message>
    <message>
        <source>Fichier</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Ouvrir...</source>
        <translation>Open...</translation>
    </message>
    <message>
        <source>Enregistrer sous...</source>
        <translation>Save as...</translation>
    </message>
    <message>
        <source>Conserver les métadonnées</source>
        <translation>Keep metadata</translation>
    </message>
    <message>
        <source>Imprimer...</source>
        <translation>Print...</translation>
    </message>
    <message>
        <source>Quitter</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Edition</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>Refaire</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>Copier</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Coller</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Appliquer le masque</source>
        <translation>Apply mask</translation>
    </message>
    <message>
        <source>Appliquer à un dossier...</source>
        <translation>Apply to a folder...</translation>
    </message>
    <message>
        <source>Taille de l&apos;image...</source>
        <translation>Image size...</translation>
    </message>
    <message>
        <source>A propos</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Ouvrir une image</source>
        <translation>Open an image</translation>
    </message>
    <message>
        <source>Enregistrer sous</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>Imprimer</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Taille de l&apos;image</source>
        <translation>Image size</translation>
    </message>
    <message>
        <source>Zoom d&apos;affichage</source>
        <translation>Display zoom</translation>
    </message>
    <message>
        <source>Charger un masque</source>
        <translation>Load a mask</translation>
    </message>
    <message>
        <source>Inverser noir et blanc</source>
        <translation>Swap black and white</translation>
    </message>
    <message>
        <source>Rotation 90° horaire</source>
        <translation>Rotate 90° clockwise</translation>
    </message>
    <message>
        <source>Couleur :</source>
        <translation>Colour:</translation>
    </message>
    <message>
        <source>Opacité :</source>
        <translation>Opacity:</translation>
    </message>
    <message>
        <source>Couleurs RVB</source>
        <translation>RGB colours</translation>
    </message>
    <message>
        <source>Transparent</source>
        <translation>Transparent</translation>
    </message>
    <message>
        <source>Transparence progressive</source>
        <translation>Soft transparency</translation>
    </message>
    <message>
        <source>Format du résultat</source>
        <translation>Result format</translation>
    </message>
    <message>
        <source>Adoucir</source>
        <translation>Soften</translation>
    </message>
    <message>
        <source>Bichromie</source>
        <translation>Two-tone</translation>
    </message>
    <message>
        <source>Ajuster le masque</source>
        <translation>Fit the mask</translation>
    </message>
    <message>
        <source>Répéter le masque</source>
        <translation>Repeat the mask</translation>
    </message>
    <message>
        <source>Ajuster sans déformer</source>
        <translation>Fit without distorting</translation>
    </message>
    <message>
        <source>Ajuster sans
déformer</source>
        <translation>Fit without
distorting</translation>
    </message>
    <message>
        <source> Traitement en cours...</source>
        <translation> Processing...</translation>
    </message>
    <message>
        <source>Annuler %1</source>
        <translation>Undo %1</translation>
    </message>
    <message>
        <source>Refaire %1</source>
        <translation>Redo %1</translation>
    </message>
    <message>
        <source>Voulez-vous enregistrer les modifications avant de quitter ?</source>
        <translation>Do you want to save the changes before quitting?</translation>
    </message>
    <message>
        <source>Sans titre</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source> Aperçu</source>
        <translation> Preview</translation>
    </message>
    <message>
        <source>Aperçu en direct</source>
        <translation>Live preview</translation>
    </message>
    <message>
        <source>Avant/après</source>
        <translation>Before/after</translation>
    </message>
    <message>
        <source>Impossible d&apos;écrire dans %1</source>
        <translation>Cannot write to %1</translation>
    </message>
</context>
<context>
    <name>vorlino::TMaskGallery</name>
    <message>
        <source>Galerie de masques</source>
        <translation>Mask gallery</translation>
    </message>
    <message>
        <source>Le fichier &quot;%1&quot; n&apos;est pas une image : il n&apos;a pas été ajouté aux masques.</source>
        <translation>The file &quot;%1&quot; is not an image: it was not added to the masks.</translation>
    </message>
    <message>
        <source>Ces fichiers ne sont pas des images : ils n&apos;ont pas été ajoutés aux masques.
%1</source>
        <translation>These files are not images: they were not added to the masks.
%1</translation>
    </message>
    <message>
        <source>Impossible de copier &quot;%1&quot; dans %2</source>
        <translation>Cannot copy &quot;%1&quot; to %2</translation>
    </message>
</context>
<context>
    <name>vorlino::TOpenPictureDialog</name>
    <message>
        <source>Ouvrir</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Regarder dans :</source>
        <translation>Look in:</translation>
    </message>
    <message>
        <source>Nom du fichier :</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>Type :</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>&amp;Ouvrir</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Aperçu</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>%1x%2 pixels</source>
        <translation>%1x%2 pixels</translation>
    </message>
</context>
<context>
    <name>vorlino::TPreviewBox</name>
    <message>
        <source>(vide)</source>
        <translation>(empty)</translation>
    </message>
</context>
<context>
    <name>vorlino::TRedimForm</name>
    <message>
        <source>Taille de l&apos;image</source>
        <translation>Image size</translation>
    </message>
    <message>
        <source>Largeur :</source>
        <translation>Width:</translation>
    </message>
    <message>
        <source>Hauteur :</source>
        <translation>Height:</translation>
    </message>
    <message>
        <source>Conserver les proportions</source>
        <translation>Keep proportions</translation>
    </message>
    <message>
        <source>Optimiser</source>
        <translation>Optimise</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Renseignez tous les champs avant de continuer !</source>
        <translation>Fill in all the fields before continuing!</translation>
    </message>
</context>
</TS>
