<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Configuration</name>
    <message>
        <location filename="../../src/configuration.cpp" line="156"/>
        <source>Invalid version nr (%1)</source>
        <translation>Numéro de version non valide (%1)</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="235"/>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="236"/>
        <source>Failed to query latest client
version from update server.</source>
        <translation>Impossible d’obtenir la dernière version
du client auprès du serveur de mise à jour.</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="245"/>
        <source>Update server returned no version</source>
        <translation>Le serveur de mise à jour n’a renvoyé aucune version</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="248"/>
        <source>Update server returned invalid version nr (%1)</source>
        <translation>Le serveur de mise à jour a renvoyé un numéro de version non valide (%1)</translation>
    </message>
</context>
</TS>
