"""Quarnel inside QGIS: a Processing provider whose algorithms run Quarnel's methods on layers.

The algorithms call the installed `quarnel` Python package (and the `quarnel` host program for
the tools only it has); see the provider for the list.
"""


def classFactory(iface):  # noqa: N802 - the name QGIS asks for
    from .plugin import QuarnelPlugin

    return QuarnelPlugin(iface)
