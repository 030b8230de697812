<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The French texts of Qt's own dialogs that the system's Qt 6.4 catalogue
     (qtbase_fr) lacks: the folder browser's "Type" column. Read at start-up
     and asked before Qt's catalogue. -->
<TS version="2.1" language="fr_FR">
<context>
    <name>QAbstractFileIconProvider</name>
    <message>
        <source>Drive</source>
        <translation>Disque</translation>
    </message>
    <message>
        <source>Folder</source>
        <comment>All other platforms</comment>
        <translation>Dossier</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <comment>All other platforms</comment>
        <translation>Raccourci</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnu</translation>
    </message>
</context>
</TS>
