"""Processing parameters made from the declarations every Quarnel door shares
(quarnel.workflow.parameters): a declaration's kind picks the parameter class, its range bounds a
number, its default and help are the parameter's, its choices an enum's options. A declaration
without a fixed default ("inputs + 1") becomes an optional parameter left empty, so the method
applies its own rule. Layer names and tables have no single Processing parameter: the
algorithms ask for the layers themselves.
"""

from __future__ import annotations

from typing import Any

from qgis.core import (
    QgsProcessingParameterBoolean,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFile,
    QgsProcessingParameterNumber,
    QgsProcessingParameterString,
)

import quarnel.workflow

# Kinds the algorithms supply in their own way (layer lists, nested tables).
UNMAPPED_KINDS = ("names", "tables")


def declarations(method: str) -> list[dict[str, Any]]:
    """The method's declared parameters (a method or table such as "bp", "feature.variables")."""
    return quarnel.workflow.parameters(method)


def declaration(method: str, name: str) -> dict[str, Any]:
    for entry in declarations(method):
        if entry["name"] == name:
            return entry
    raise KeyError(f"{method}.{name} is not declared")


def key_of(entry: dict[str, Any], prefix: str = "") -> str:
    """The Processing parameter name: the declared name in capitals (max_iterations: MAX_ITERATIONS)."""
    return (prefix + entry["name"]).upper()


def description_of(entry: dict[str, Any]) -> str:
    text = entry["name"].replace("_", " ").capitalize()
    return f"{text} ({entry['unit']})" if entry["unit"] else text


def help_of(entry: dict[str, Any]) -> str:
    """The declaration's help with its accepted values and default, as `quarnel params` shows them."""
    text = f"{entry['help']}; {entry['accepted']}" if entry["accepted"] else entry["help"]
    return f"{text}; default {entry['default']}" if entry["default"] and not entry["required"] else text


def parameter_of(entry: dict[str, Any], prefix: str = "", description: str | None = None):
    """The Processing parameter for a declaration, or None for a kind with no single parameter."""
    kind, key = entry["kind"], key_of(entry, prefix)
    description = description or description_of(entry)
    optional = not entry["fixed_default"] and not entry["required"]
    default = entry["value"] if entry["fixed_default"] else None
    if kind in ("integer", "number"):
        number = QgsProcessingParameterNumber.Integer if kind == "integer" else QgsProcessingParameterNumber.Double
        parameter = QgsProcessingParameterNumber(key, description, number, default, optional,
                                                 entry["low"], entry["high"])
    elif kind == "choice":
        parameter = QgsProcessingParameterEnum(key, description, entry["choices"], False,
                                               int(entry["value"]), optional)
    elif kind == "flag":
        parameter = QgsProcessingParameterBoolean(key, description, bool(entry["value"]), optional)
    elif kind == "text":
        parameter = QgsProcessingParameterString(key, description, None, False, optional)
    elif kind == "path":
        parameter = QgsProcessingParameterFile(key, description, QgsProcessingParameterFile.File, "", None,
                                               optional)
    else:
        return None
    parameter.setHelp(help_of(entry))
    return parameter


def value_of(algorithm, entry: dict[str, Any], parameters: dict, context, prefix: str = "") -> Any:
    """The value given for a declared parameter as the Python keyword takes it: int, float, bool,
    the choice's word, text; None when an optional parameter was left empty."""
    key, kind = key_of(entry, prefix), entry["kind"]
    if parameters.get(key) is None and not entry["fixed_default"]:
        return None
    if kind == "integer":
        return algorithm.parameterAsInt(parameters, key, context)
    if kind == "number":
        return algorithm.parameterAsDouble(parameters, key, context)
    if kind == "choice":
        return entry["choices"][algorithm.parameterAsEnum(parameters, key, context)]
    if kind == "flag":
        return algorithm.parameterAsBoolean(parameters, key, context)
    if kind == "path":
        return algorithm.parameterAsFile(parameters, key, context) or None
    return algorithm.parameterAsString(parameters, key, context) or None


def mapped(method: str, skip: tuple[str, ...] = ()) -> list[dict[str, Any]]:
    """The method's declarations that become parameters, less those named in skip."""
    return [e for e in declarations(method) if e["kind"] not in UNMAPPED_KINDS and e["name"] not in skip]


def help_text(method: str, skip: tuple[str, ...] = ()) -> str:
    """An algorithm's help: one line per declared parameter."""
    rows = "".join(f"<li><b>{e['name']}</b>: {help_of(e)}</li>" for e in mapped(method, skip))
    return f"<ul>{rows}</ul>" if rows else ""
