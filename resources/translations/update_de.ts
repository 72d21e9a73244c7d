<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Configuration</name>
    <message>
        <location filename="../../src/configuration.cpp" line="156"/>
        <source>Invalid version nr (%1)</source>
        <translation>Ungültige Versionsnummer (%1)</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="235"/>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="236"/>
        <source>Failed to query latest client
version from update server.</source>
        <translation>Die aktuelle Client-Version konnte
nicht vom Update-Server abgefragt werden.</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="245"/>
        <source>Update server returned no version</source>
        <translation>Der Update-Server hat keine Version geliefert</translation>
    </message>
    <message>
        <location filename="../../src/configuration.cpp" line="248"/>
        <source>Update server returned invalid version nr (%1)</source>
        <translation>Der Update-Server hat eine ungültige Versionsnummer geliefert (%1)</translation>
    </message>
</context>
</TS>
