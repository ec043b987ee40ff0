object f: TForm
  ClientWidth = 2147483647
  ClientHeight = 2147483647
  BorderStyle = bsSingle
  object p: TPanel
    Left = 2147483647
    Top = -2147483648
    Width = 2147483647
    Height = 2147483647
    Anchors = [akLeft, akTop, akRight, akBottom]
    AlignWithMargins = True
    Margins.Left = 2147483647
    Margins.Right = 2147483647
    BorderWidth = 2147483647
    BevelWidth = 2147483647
    object q: TPanel
      Align = alClient
      AlignWithMargins = True
      Margins.Top = -2147483648
    end
    object r: TLabel
      Align = alRight
      AutoSize = True
      WordWrap = True
      Caption = 'hello world this is long'
      Width = -2147483648
    end
    object bar: TProgressBar
      Min = -2147483648
      Max = 2147483647
      Position = 5
      Step = 2147483647
    end
  end
  object t: TTimer
    Interval = 2147483647
    Enabled = True
  end
  object c: TComboBox
    Items.Strings = ('a' 'b')
    ItemIndex = 2147483647
    DropDownCount = -2147483648
    Sorted = True
  end
  object e: TEdit
    MaxLength = -2147483648
    Text = 'xyz'
  end
end
