/* KXCSData.js: a client-side data set. Rows of named fields with a cursor; listeners hear every
   move of the cursor and every change of a value. */

function CSField(ADataSet, AIndex, AName) {
  this.DataSet = ADataSet;
  this.Index = AIndex;
  this.FieldName = AName;
}

CSField.prototype.getValue = function () {
  var xRow = this.DataSet.CurrentRow();
  return xRow ? xRow[this.Index] : null;
};

CSField.prototype.setValue = function (AValue) {
  var xRow = this.DataSet.CurrentRow();
  if (xRow && xRow[this.Index] !== AValue) {
    xRow[this.Index] = AValue;
    this.DataSet.Notify("change", this);
  }
};

CSField.prototype.AsString = function () {
  var xValue = this.getValue();
  return xValue === null || xValue === undefined ? "" : String(xValue);
};

// AFieldNames: the field names in column order; ARows: an array of rows, each an array of values.
function CSDataSet(AFieldNames, ARows) {
  this.Fields = [];
  this.Rows = ARows || [];
  this.RecNo = this.Rows.length > 0 ? 0 : -1;
  this.Listeners = [];
  this.FBOF = true;
  this.FEOF = this.Rows.length == 0;
  for (var i = 0; i < AFieldNames.length; i++) {
    this.Fields.push(new CSField(this, i, AFieldNames[i]));
  }
}

CSDataSet.prototype.FieldByName = function (AName) {
  var xName = String(AName).toLowerCase();
  for (var i = 0; i < this.Fields.length; i++) {
    if (this.Fields[i].FieldName.toLowerCase() == xName) {
      return this.Fields[i];
    }
  }
  throw new Error("Field '" + AName + "' not found");
};

CSDataSet.prototype.CurrentRow = function () {
  return this.RecNo >= 0 && this.RecNo < this.Rows.length ? this.Rows[this.RecNo] : null;
};

CSDataSet.prototype.AddChangeListener = function (AListener) {
  this.Listeners.push(AListener);
};

CSDataSet.prototype.RemoveChangeListener = function (AListener) {
  for (var i = this.Listeners.length - 1; i >= 0; i--) {
    if (this.Listeners[i] === AListener) {
      this.Listeners.splice(i, 1);
    }
  }
};

CSDataSet.prototype.Notify = function (AKind, AField) {
  for (var i = 0; i < this.Listeners.length; i++) {
    this.Listeners[i](this, AKind, AField || null);
  }
};

// Like a server data set: moving past either end leaves the cursor on the end row and sets EOF or BOF.
CSDataSet.prototype.MoveTo = function (ARecNo) {
  var xCount = this.Rows.length;
  this.FBOF = ARecNo < 0 || xCount == 0;
  this.FEOF = ARecNo >= xCount || xCount == 0;
  var xNew = xCount == 0 ? -1 : Math.max(0, Math.min(ARecNo, xCount - 1));
  if (xNew != this.RecNo) {
    this.RecNo = xNew;
    this.Notify("scroll");
  }
};

CSDataSet.prototype.First = function () {
  this.MoveTo(0);
  this.FBOF = true;
};

CSDataSet.prototype.Last = function () {
  this.MoveTo(this.Rows.length - 1);
  this.FEOF = true;
};

CSDataSet.prototype.Next = function () {
  this.MoveTo(this.RecNo + 1);
};

CSDataSet.prototype.Prior = function () {
  this.MoveTo(this.RecNo - 1);
};

CSDataSet.prototype.EOF = function () {
  return this.FEOF;
};

CSDataSet.prototype.BOF = function () {
  return this.FBOF;
};
