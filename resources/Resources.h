#pragma once
// Registers the resource bundle (pictures, translation catalogue); a static
// library's resources are registered only when something asks for them, so
// every user of one calls this.
void InitQuintavoResources();
